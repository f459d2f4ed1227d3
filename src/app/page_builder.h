// Small constructors for the controls of the main window's pages: each control gets its
// component name as object name (the language files and the page controllers find it by
// that name), its built-in caption and its initial state.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStringList>

namespace quillon::ui {

QPushButton* Button(QWidget* parent, const char* name, const QString& caption);
QLabel* Label(QWidget* parent, const char* name, const QString& caption);
// A grey label (the file labels of the flashing pages).
QLabel* GreyLabel(QWidget* parent, const char* name, const QString& caption);
QCheckBox* Check(QWidget* parent, const char* name, const QString& caption, bool checked = false);
QGroupBox* Group(QWidget* parent, const char* name, const QString& caption);
// index -1 leaves no item selected (the edit text then shows edit_text).
QComboBox* Combo(QWidget* parent, const char* name, const QStringList& items, int index,
                 bool editable, const QString& edit_text = QString());
QLineEdit* Edit(QWidget* parent, const char* name, const QString& text = QString(),
                bool enabled = true);
// A multi-line text box with a vertical scroll bar.
QPlainTextEdit* Memo(QWidget* parent, const char* name, bool enabled = true);
QProgressBar* Progress(QWidget* parent, const char* name);

}  // namespace quillon::ui
