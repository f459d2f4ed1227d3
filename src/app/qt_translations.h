// Qt's own texts (file dialogs, standard buttons, context menus) in the window's language.
#pragma once

#include <QTranslator>
#include <memory>
#include <string>

class QCoreApplication;

namespace quillon {

// The Qt locale name whose translations serve a language section ("CHS" -> "zh_CN"); empty
// when Qt's built-in English texts already fit.
std::string QtLocaleFor(const std::string& language);

// Loads and installs Qt's translations for language into app. The translator must live as
// long as the application; null when nothing was installed (English, or no catalogue).
std::unique_ptr<QTranslator> InstallQtTranslations(QCoreApplication& app,
                                                   const std::string& language);

}  // namespace quillon
