// Controls, layout and handlers of the font file editor window.
#include "fonteditor/font_editor_window.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <filesystem>

#include "core/messages.h"
#include "fonteditor/font_editor_prompts.h"
#include "fonteditor/font_file_io.h"
#include "fonteditor/glyph_grid.h"

namespace quillon {
namespace {

constexpr char kOpenFileFirst[] = "Please open font file frist!";
constexpr char kConfirmUpdate[] = "Are you sure update to memory?";
constexpr char kCopyComplete[] = "Complete";
constexpr char kSamePages[] = "Copy source cannot be the same as target source.";
constexpr char kWriteBeyondEnd[] =
    "The glyph lies beyond the end of the font file. Nothing was written.";
constexpr char kDropGridEdits[] =
    "The grid holds changes that were not written back with \"Update Change\". Drop them?";

const QColor kDotRed(255, 0, 0);
const QColor kStripBlue(0, 0, 255);

// Starting code of each section of the character-set box, in the box's order.
struct StartCode {
  int high, low;
};
constexpr StartCode kStartCodes[] = {
    {0xBB, 0xD4},  // GB18030
    {0x00, 0x30},  // CodePage: the digit zero
    {0xC3, 0xA3},  // BIG5
    {0xB0, 0xA1},  // EUC_KR
    {0x83, 0x4D},  // Shift_JIS
};

QComboBox* ByteList(QWidget* parent, const char* name) {
  auto* box = new QComboBox(parent);
  box->setObjectName(name);
  for (int i = 0; i < 256; ++i) box->addItem(QString("%1").arg(i, 2, 16, QChar('0')).toUpper());
  return box;
}

QGroupBox* Group(QWidget* parent, const char* name, const char* title, QRect geometry) {
  auto* box = new QGroupBox(title, parent);
  box->setObjectName(name);
  box->setGeometry(geometry);
  return box;
}

QLabel* Label(QWidget* parent, const char* name, const char* text, QRect geometry) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(name);
  label->setGeometry(geometry);
  return label;
}

QPushButton* Button(QWidget* parent, const char* name, const char* text, QRect geometry) {
  auto* button = new QPushButton(text, parent);
  button->setObjectName(name);
  button->setGeometry(geometry);
  button->setAutoDefault(false);  // Enter in a list must not press a button
  return button;
}

QImage StripToImage(const StripRaster& raster) {
  QImage image(kStripWidth, kStripHeight, QImage::Format_RGB32);
  const QRgb blue = kStripBlue.rgb(), white = qRgb(255, 255, 255);
  for (int y = 0; y < kStripHeight; ++y) {
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    const uint8_t* dots = raster.dots.data() + static_cast<size_t>(y) * kStripWidth;
    for (int x = 0; x < kStripWidth; ++x) line[x] = dots[x] ? blue : white;
  }
  return image;
}

}  // namespace

TFont_ADJ_8M_KX::TFont_ADJ_8M_KX(FontEditorPrompts& prompts, QWidget* parent)
    : QDialog(parent),
      prompts_(prompts),
      preview_(24, 24, QImage::Format_RGB32),
      strip_(kStripWidth, kStripHeight, QImage::Format_RGB32) {
  setObjectName("Font_ADJ_8M_KX");
  setWindowTitle("Font_ADJ_8M_KX");
  preview_.fill(Qt::white);
  strip_.fill(Qt::white);
  image_.xbyte = 3;
  BuildControls();
  BuildMenu();
  // The section's controls are set now; the query that goes with it runs once the window is
  // on screen, so its message (no file yet) appears over the window.
  {
    const QSignalBlocker block(cbb_CharSet);
    cbb_CharSet->setCurrentIndex(0);
  }
  cbb_CharSetChange();
}

TFont_ADJ_8M_KX::TFont_ADJ_8M_KX(std::unique_ptr<FontEditorPrompts> prompts, QWidget* parent)
    : TFont_ADJ_8M_KX(*prompts, parent) {
  owned_prompts_ = std::move(prompts);
}

TFont_ADJ_8M_KX::~TFont_ADJ_8M_KX() = default;

void TFont_ADJ_8M_KX::BuildControls() {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->setSizeConstraint(QLayout::SetFixedSize);  // a fixed layout, like the grid's pixels
  surface_ = new QWidget(this);
  surface_->setObjectName("client");
  surface_->setFixedSize(632, 488);
  surface_->installEventFilter(this);
  layout->addWidget(surface_);

  drwgrd_adj = new GlyphGrid(surface_);
  drwgrd_adj->setObjectName("drwgrd_adj");
  drwgrd_adj->move(16, 16);
  drwgrd_adj->SetDotSource([this](int x, int y) { return image_.GetPoint(x, y); });
  connect(drwgrd_adj, &GlyphGrid::cellSelected, this, &TFont_ADJ_8M_KX::drwgrd_adjSelectCell);

  auto* group1 = Group(surface_, "GroupBox1", "System Char Set", {340, 6, 282, 54});
  Label(group1, "lbl2", "System CharSet:", {10, 24, 106, 20});
  cbb_CharSet = new QComboBox(group1);
  cbb_CharSet->setObjectName("cbb_CharSet");
  cbb_CharSet->addItems({"GB18030", "CodePage", "BIG5", "EUC_KR", "Shift_JIS"});
  cbb_CharSet->setGeometry(120, 20, 150, 26);

  auto* grp1 = Group(surface_, "grp1", "CodePage Parameter", {340, 64, 282, 80});
  Label(grp1, "Label1", "CodePage ID:", {10, 24, 106, 20});
  cbb_codepage = new QComboBox(grp1);
  cbb_codepage->setObjectName("cbb_codepage");
  for (int page = 0; page < kCodePageCount; ++page) cbb_codepage->addItem(QString::number(page));
  cbb_codepage->setMaxVisibleItems(20);
  cbb_codepage->setGeometry(120, 20, 150, 26);
  chk_9x17 = new QCheckBox("9x17 Size", grp1);
  chk_9x17->setObjectName("chk_9x17");
  chk_9x17->setGeometry(10, 52, 160, 22);

  auto* grp2 = Group(surface_, "grp2", "Code Query", {340, 148, 282, 150});
  Label(grp2, "lbl3", "Char Code:", {10, 26, 106, 20});
  cbb_H = ByteList(grp2, "cbb_H");
  cbb_H->setGeometry(120, 22, 70, 26);
  cbb_L = ByteList(grp2, "cbb_L");
  cbb_L->setGeometry(200, 22, 70, 26);
  Label(grp2, "lbl1", "Preview:", {10, 60, 106, 20});
  img_Preview = Label(grp2, "img_Preview", "", {120, 58, 24, 24});
  Button(grp2, "btn_Query", "Query Font", {10, 90, 126, 26});
  Button(grp2, "btn1", "Update Change", {144, 90, 126, 26});
  Button(grp2, "btn2", "Copy CodePage", {10, 118, 126, 26});

  auto* grp3 = Group(surface_, "grp3", "Preview ASCII", {340, 302, 282, 54});
  Button(grp3, "btn_Preview_Ascii", "Preview Ascii", {10, 22, 126, 26});
  Button(grp3, "btn_Preview_CodePage", "Preview CodePage", {144, 22, 126, 26});

  auto* panel = new QFrame(surface_);
  panel->setObjectName("pnl1");
  panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  panel->setLineWidth(2);
  panel->setGeometry(16, 354, kStripWidth + 4, kStripHeight + 4);
  img1 = Label(panel, "img1", "", {2, 2, kStripWidth, kStripHeight});
  img1->setPixmap(QPixmap::fromImage(strip_));
  img_Preview->setPixmap(QPixmap::fromImage(preview_));

  stat1 = new QStatusBar(this);
  stat1->setObjectName("stat1");
  stat1->setSizeGripEnabled(false);
  stat1_panel = new QLabel("ADJ", stat1);
  stat1_panel->setObjectName("stat1_panel0");
  stat1_panel->setMinimumWidth(50);
  stat1->addWidget(stat1_panel, 1);
  layout->addWidget(stat1);

  connect(cbb_CharSet, &QComboBox::currentIndexChanged, this, &TFont_ADJ_8M_KX::cbb_CharSetChange);
  connect(cbb_H, &QComboBox::currentIndexChanged, this, &TFont_ADJ_8M_KX::btn_QueryClick);
  connect(cbb_L, &QComboBox::currentIndexChanged, this, &TFont_ADJ_8M_KX::btn_QueryClick);
  const auto click = [this](const char* name, void (TFont_ADJ_8M_KX::*handler)()) {
    connect(findChild<QPushButton*>(name), &QPushButton::clicked, this, handler);
  };
  click("btn_Query", &TFont_ADJ_8M_KX::btn_QueryClick);
  click("btn1", &TFont_ADJ_8M_KX::btn1Click);
  click("btn2", &TFont_ADJ_8M_KX::btn2Click);
  click("btn_Preview_Ascii", &TFont_ADJ_8M_KX::btn_Preview_AsciiClick);
  click("btn_Preview_CodePage", &TFont_ADJ_8M_KX::btn_Preview_CodePageClick);
}

void TFont_ADJ_8M_KX::BuildMenu() {
  auto* menu = new QMenuBar(this);
  menu->setObjectName("mm1");
  auto* file = menu->addMenu("FILE(&F)");
  auto* open = file->addAction("Open Font File(&O)", this, &TFont_ADJ_8M_KX::OpenFontFileClick);
  open->setObjectName("OpenFontFile1");
  auto* save = file->addAction("Save FontFile(&S)", this, [this] { SaveFontFileClick(); });
  save->setObjectName("SaveFontFile1");
  file->addSeparator();
  auto* close = file->addAction("Close(&C)", this, &TFont_ADJ_8M_KX::reject);
  close->setObjectName("Close1");
  auto* view = menu->addMenu("VIEW(&V)");
  auto* ruler = view->addAction("Show Ruler(&R)", this, &TFont_ADJ_8M_KX::ShowRulerClick);
  ruler->setObjectName("ShowRuler1");
  layout()->setMenuBar(menu);
}

FontSection TFont_ADJ_8M_KX::Section() const {
  return static_cast<FontSection>(cbb_CharSet->currentIndex());
}

GlyphKey TFont_ADJ_8M_KX::CurrentKey() const {
  GlyphKey key;
  key.section = Section();
  key.code = static_cast<uint16_t>(cbb_H->currentIndex() * 256 + cbb_L->currentIndex());
  key.page = static_cast<uint8_t>(cbb_codepage->currentIndex());
  key.nine_by_17 = chk_9x17->isChecked();
  return key;
}

bool TFont_ADJ_8M_KX::RequireFile() {
  if (!image_.empty()) return true;
  prompts_.MSGDLG(kMsgInfo, "", kOpenFileFirst);
  return false;
}

void TFont_ADJ_8M_KX::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (shown_once_) return;
  shown_once_ = true;
  QTimer::singleShot(0, this, &TFont_ADJ_8M_KX::btn_QueryClick);
}

void TFont_ADJ_8M_KX::cbb_CharSetChange() {
  const bool single_byte = Section() == FontSection::kCodePage;
  const StartCode start = kStartCodes[std::clamp(cbb_CharSet->currentIndex(), 0, 4)];
  cbb_codepage->setEnabled(single_byte);
  chk_9x17->setEnabled(single_byte);
  cbb_H->setEnabled(!single_byte);
  cbb_L->setEnabled(true);
  {
    // Setting the start code is one change of code: one query below, not one per list.
    const QSignalBlocker block_h(cbb_H), block_l(cbb_L);
    cbb_H->setCurrentIndex(start.high);
    cbb_L->setCurrentIndex(start.low);
  }
  drwgrd_adj->SetColumnCount(single_byte ? 12 : 24);
  image_.xbyte = single_byte ? 2 : 3;
  if (shown_once_) btn_QueryClick();
}

void TFont_ADJ_8M_KX::btn_QueryClick() {
  if (!RequireFile()) return;
  const GlyphKey key = CurrentKey();
  if (!LocateGlyph(key)) {
    prompts_.MSGDLG(kMsgWarning, "", OutOfRangeMessage(key));
    return;
  }
  preview_.fill(Qt::white);
  image_.ReadGlyph(key);
  grid_edited_ = false;
  DrawGlyph();
}

void TFont_ADJ_8M_KX::DrawGlyph() {
  const int columns = drwgrd_adj->columnCount();
  for (int y = 0; y < kGlyphRows; ++y) {
    for (int x = 0; x < columns; ++x) {
      preview_.setPixelColor(x, y, image_.GetPoint(x, y) ? kDotRed : QColor(Qt::white));
    }
  }
  img_Preview->setPixmap(QPixmap::fromImage(preview_));
  drwgrd_adj->update();
}

void TFont_ADJ_8M_KX::drwgrd_adjSelectCell(int column, int row) {
  image_.SetPoint(column, row);
  if (!image_.empty()) grid_edited_ = true;
  DrawGlyph();
}

void TFont_ADJ_8M_KX::btn1Click() {
  if (!RequireFile()) return;
  const GlyphKey key = CurrentKey();
  if (!LocateGlyph(key)) {
    prompts_.MSGDLG(kMsgWarning, "", OutOfRangeMessage(key));
    return;
  }
  if (prompts_.MSGDLG(kMsgQuestion, "", kConfirmUpdate) != kMsgResultOk) return;
  switch (image_.WriteBack(key)) {
    case GlyphWrite::kWritten:
      modified_ = true;
      grid_edited_ = false;
      break;
    case GlyphWrite::kPastEnd:
      prompts_.MSGDLG(kMsgWarning, "", kWriteBeyondEnd);
      break;
    case GlyphWrite::kEmptyImage:
    case GlyphWrite::kOutOfRange:
      break;  // ruled out above
  }
}

void TFont_ADJ_8M_KX::btn2Click() {
  const auto request = prompts_.AskCodePageCopy();
  if (!request) return;
  if (!RequireFile()) return;
  switch (image_.CopyCodePage(request->source, request->target)) {
    case PageCopy::kCopied:
      modified_ = true;
      prompts_.MSGDLG(kMsgInfo, "", kCopyComplete);
      break;
    case PageCopy::kSamePage:
      prompts_.MSGDLG(kMsgInfo, "", kSamePages);
      break;
    case PageCopy::kTooShort:
      prompts_.MSGDLG(kMsgWarning, "",
                      "The font file is too short to hold code page " +
                          std::to_string(request->source) + " in both banks, or to reach page " +
                          std::to_string(request->target) + ". Nothing was copied.");
      break;
    case PageCopy::kNoSuchPage:
      prompts_.MSGDLG(kMsgWarning, "", "Code pages run from 0 to 99. Nothing was copied.");
      break;
    case PageCopy::kEmptyImage:
      break;  // ruled out above
  }
}

void TFont_ADJ_8M_KX::ShowStrip(PreviewKind kind) {
  if (!RequireFile()) return;
  // The strip reads its glyphs through hzk; the glyph being edited is kept so that a later
  // "Update Change" writes what the grid shows at the code the lists show.
  const auto editing = image_.hzk;
  const StripRaster raster = RenderPreviewStrip(
      image_, kind, static_cast<uint8_t>(cbb_codepage->currentIndex()), chk_9x17->isChecked());
  image_.hzk = editing;
  strip_ = StripToImage(raster);
  img1->setPixmap(QPixmap::fromImage(strip_));
}

void TFont_ADJ_8M_KX::btn_Preview_AsciiClick() {
  ShowStrip(PreviewKind::kAscii);
}
void TFont_ADJ_8M_KX::btn_Preview_CodePageClick() {
  ShowStrip(PreviewKind::kCodePage);
}

void TFont_ADJ_8M_KX::OpenFontFileClick() {
  if (!MayDropChanges()) return;
  const auto path = prompts_.AskOpenFileName();
  if (!path) return;
  std::vector<uint8_t> bytes;
  const FileResult read = ReadFontFile(*path, bytes);
  if (!read.ok) {
    prompts_.MSGDLG(kMsgError, "", read.error);
    return;
  }
  image_.Assign(std::move(bytes));
  modified_ = false;
  grid_edited_ = false;
  path_ = *path;
  stat1_panel->setText(QString::fromStdString(path_));
}

bool TFont_ADJ_8M_KX::SaveFontFileClick() {
  // An empty image would replace the chosen file with nothing.
  if (!RequireFile()) return false;
  std::filesystem::path proposed = DefaultFontFileNameToday();
  if (!path_.empty()) proposed = std::filesystem::path(path_).parent_path() / proposed;
  const auto path = prompts_.AskSaveFileName(proposed.string());
  if (!path) return false;
  const FileResult saved = SaveFileAtomically(*path, image_.bytes());
  if (!saved.ok) {
    prompts_.MSGDLG(kMsgError, "", saved.error);
    return false;
  }
  modified_ = false;
  path_ = *path;
  stat1_panel->setText(QString::fromStdString(path_));
  return true;
}

bool TFont_ADJ_8M_KX::MayDropChanges() {
  // Dots changed in the grid live only there until "Update Change": closing or opening
  // another file would drop them without a word.
  if (grid_edited_ && prompts_.MSGDLG(kMsgQuestion, "", kDropGridEdits) != kMsgResultOk)
    return false;
  if (!modified_) return true;
  switch (prompts_.AskUnsavedChanges()) {
    case UnsavedChoice::kSave:
      return SaveFontFileClick();
    case UnsavedChoice::kDiscard:
      return true;
    case UnsavedChoice::kCancel:
      return false;
  }
  return false;
}

void TFont_ADJ_8M_KX::reject() {
  if (MayDropChanges()) QDialog::reject();
}

void TFont_ADJ_8M_KX::ShowRulerClick() {
  ruler_ = true;
  surface_->update();
}

bool TFont_ADJ_8M_KX::eventFilter(QObject* watched, QEvent* event) {
  if (watched == surface_ && event->type() == QEvent::Paint && ruler_) DrawIdx(surface_);
  return QDialog::eventFilter(watched, event);
}

void TFont_ADJ_8M_KX::DrawIdx(QWidget* surface) {
  QPainter p(surface);
  QFont font = p.font();
  font.setPointSize(6);
  p.setFont(font);
  p.setPen(QColor(0, 0, 255));
  for (int i = 1; i <= 24; ++i) {
    const QString n = QString("%1").arg(i, 2, 10, QChar('0'));
    p.drawText(QRect(13 * i + 6, 4, 13, 11), Qt::AlignLeft | Qt::AlignTop, n);
    p.drawText(QRect(4, 13 * i + 6, 13, 11), Qt::AlignLeft | Qt::AlignTop, n);
  }
}

}  // namespace quillon
