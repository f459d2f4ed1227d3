#include "app/qt_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>

namespace quillon {

std::string QtLocaleFor(const std::string& language) {
  if (language == "CHS") return "zh_CN";
  return {};
}

std::unique_ptr<QTranslator> InstallQtTranslations(QCoreApplication& app,
                                                   const std::string& language) {
  const std::string locale = QtLocaleFor(language);
  if (locale.empty()) return nullptr;
  const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
  auto translator = std::make_unique<QTranslator>();
  // qtbase holds the dialogs and buttons; the qt_ catalogue is the older umbrella name.
  for (const char* catalogue : {"qtbase_", "qt_"}) {
    if (translator->load(QString::fromLatin1(catalogue) + QString::fromStdString(locale), folder)) {
      app.installTranslator(translator.get());
      return translator;
    }
  }
  return nullptr;
}

}  // namespace quillon
