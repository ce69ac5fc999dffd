#include "gui/frm_tag_editor.h"

#include <QApplication>
#include <QGroupBox>
#include <algorithm>

#include "gui/text_fit.h"
#include "gui/widgets.h"
#include "settings/settings.h"
#include "settings/tag_values.h"
#include "tags/genre_list.h"
#include "tags/tag_text.h"

namespace tonvale::gui {

namespace {

// What an ID3v1 tag holds of a text field (the title's, as of the artist
// and album), and what a whole value may hold.
const int kId3v1Text = static_cast<int>(FindTagField("title")->Id3v1);
constexpr int kWholeText = 1024;

}  // namespace

TTagKeeping TagKeepingFor(TConversionMode Mode, const TSettings& Settings) {
  if (OutputExtension(Mode) == ".wma") return TTagKeeping::Whole;
  return Settings.WriteID3v2 ? TTagKeeping::Id3v1AndWhole : TTagKeeping::Id3v1;
}

TfrmTagEditor::TfrmTagEditor(QWidget* Owner, TTagKeeping Keeping) : QDialog(Owner), FKeeping(Keeping) {
  setObjectName("frmTagEditor");
  setWindowTitle("Tag Editor");
  setFixedSize(433, 240);
  // The positions are laid out for an 8-point font.
  QFont small = font();
  small.setPointSize(8);
  setFont(small);
  auto* group = new QGroupBox("ID3 Tag", this);
  group->setObjectName("GroupBox1");
  // Room under the fields for a note of two lines.
  const int noteHeight = 2 * QFontMetrics(small).lineSpacing() + 2;
  group->setGeometry(8, 8, 417, 147 + noteHeight + 8);
  auto label = [group](const QString& Name, const QString& Text, int X, int Y) {
    auto* l = new QLabel(Text, group);
    l->setObjectName(Name);
    l->move(X, Y);
    l->adjustSize();
    return l;
  };
  auto edit = [group](const QString& Name, int Limit, int X, int Y, int W, const QString& Allowed = {}) {
    auto* e = new TLimitedEdit(Limit, group, Allowed);
    e->setObjectName(Name);
    e->setGeometry(X, Y, W, 22);
    return e;
  };
  lTitle = label("lTitle", "Title:", 8, 28);
  QLabel* artist = label("Label2", "Artist:", 8, 60);
  QLabel* album = label("Label3", "Album:", 8, 92);
  QLabel* comment = label("Label7", "Comment:", 8, 124);
  // The left edits start after the widest of their labels in the font in
  // use and end where the original's do.
  int left = 64;
  for (QLabel* l : {lTitle, artist, album, comment}) left = std::max(left, l->x() + l->width() + 6);
  // Values kept whole by the outputs take any length a tag holds; kept only
  // in an ID3v1 tag, what that tag holds.
  const int text = Keeping == TTagKeeping::Id3v1 ? kId3v1Text : kWholeText;
  lTitle->setBuddy(ID3title = edit("ID3title", text, left, 24, 242 - left));
  artist->setBuddy(ID3artist = edit("ID3artist", text, left, 56, 242 - left));
  album->setBuddy(ID3album = edit("ID3album", text, left, 88, 242 - left));
  comment->setBuddy(ID3comment = edit("ID3comment", text, left, 120, 242 - left));
  QLabel* genre = label("Label5", "Genre:", 265, 28);
  ID3genre = Place<QComboBox>(group, "ID3genre", {309, 24, 98, 22});
  genre->setBuddy(ID3genre);
  for (const char* g : GenreList) ID3genre->addItem(QString::fromUtf8(g));
  label("Label4", "Year:", 264, 60)->setBuddy(ID3year = edit("ID3year", 4, 312, 56, 42, "0123456789"));
  // A track and the count of the album ("3/12") where a whole tag keeps it.
  const int trackLength = Keeping == TTagKeeping::Id3v1 ? 2 : 7;
  label("Label6", "Track #:", 264, 92)
      ->setBuddy(ID3track = edit("ID3track", trackLength, 312, 88,
                                 std::max(42, QFontMetrics(small).horizontalAdvance(QString(trackLength, '0')) + 14),
                                 "0123456789/"));
  ID3track->SetSeparator('/');
  // The right fields start clear of the widest of their labels too, and
  // keep their widths (the genre list ends where it did).
  QLabel* rightLabels[] = {genre, group->findChild<QLabel*>("Label4"), group->findChild<QLabel*>("Label6")};
  int right = 309;
  for (QLabel* l : rightLabels) right = std::max(right, l->x() + l->width() + 6);
  ID3genre->setGeometry(right, 24, 407 - right, 22);
  for (QLineEdit* e : {static_cast<QLineEdit*>(ID3year), static_cast<QLineEdit*>(ID3track)})
    e->move(std::max(e->x(), right), e->y());
  lNote = Place<QLabel>(group, "lNote", {8, 145, 401, noteHeight});
  lNote->setTextFormat(Qt::PlainText);
  lNote->setWordWrap(true);
  lNote->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  const std::pair<TLimitedEdit*, const char*> fields[] = {{ID3title, "Title"}, {ID3artist, "Artist"},
                                                          {ID3album, "Album"}, {ID3comment, "Comment"},
                                                          {ID3year, "Year"},   {ID3track, "Track #"}};
  for (const auto& field : fields) {
    TLimitedEdit* e = field.first;
    const char* name = field.second;
    connect(e, &TLimitedEdit::Refused, this,
            [this, e, name](const QString& LeftOut, bool NotAllowed) { ShowRefused(name, e, LeftOut, NotAllowed); });
    if (Keeping == TTagKeeping::Id3v1AndWhole && e != ID3year && e != ID3track)
      connect(e, &QLineEdit::textEdited, this, [this] { ShowShortened(); });
  }
  cbShowTagEditor = new QCheckBox("Don't show this dialog next time", this);
  cbShowTagEditor->setObjectName("cbShowTagEditor");
  cbShowTagEditor->move(8, std::max(180, group->y() + group->height() + 6));
  cbShowTagEditor->adjustSize();
  btOk = Place<QPushButton>(this, "btOk", {258, 206, 75, 25}, "&Start");
  btCancel = Place<QPushButton>(this, "btCancel", {347, 206, 75, 25}, "&Cancel");
  // Enter presses Start, whichever control has the focus; Escape cancels.
  for (QPushButton* b : {btOk, btCancel}) b->setAutoDefault(false);
  btOk->setDefault(true);
  connect(btOk, &QPushButton::clicked, this, [this] { btOkClick(); });
  connect(btCancel, &QPushButton::clicked, this, &QDialog::reject);
  // Tab goes down the left fields, then down the right ones, as they stand.
  QWidget* order[] = {ID3title, ID3artist, ID3album,        ID3comment, ID3genre,
                      ID3year,  ID3track,  cbShowTagEditor, btOk,       btCancel};
  for (size_t i = 0; i + 1 < std::size(order); ++i) setTabOrder(order[i], order[i + 1]);
  FormCreate();
  GrowToFitText(this);
}

namespace {

// Several values of a field (separated by zeros) are shown joined by "; ",
// and kept as several unless the text shown was changed.
QString Shown(const std::string& Value) { return QString::fromStdString(JoinedValues(Value)); }
std::string Kept(const QLineEdit* Edit, const std::string& Value) {
  return Edit->text() == Shown(Value) ? Value : Edit->text().toStdString();
}

}  // namespace

QString TfrmTagEditor::Fitted(TLimitedEdit* Edit, const QString& Text) {
  // Only an ID3v1 tag keeps the values: a longer one is cut to what it holds
  // here, where the user sees it, and may be edited within that.
  if (FKeeping != TTagKeeping::Id3v1 || Text.size() <= kId3v1Text) return Text;
  FCut.push_back(Edit);
  return Text.left(Text[kId3v1Text - 1].isHighSurrogate() ? kId3v1Text - 1 : kId3v1Text);
}

void TfrmTagEditor::FormCreate() {
  ID3title->SetValue(Fitted(ID3title, Shown(TagValues.TagTitle)));
  ID3artist->SetValue(Fitted(ID3artist, Shown(TagValues.TagArtist)));
  ID3album->SetValue(Fitted(ID3album, Shown(TagValues.TagAlbum)));
  ID3year->SetValue(QString::fromStdString(TagValues.TagYear));
  const int genre = TagValues.TagGenreIndex;
  ID3genre->setCurrentIndex(genre >= 0 && genre < ID3genre->count() ? genre : -1);
  ID3track->SetValue(QString::fromStdString(TagValues.TagTrack));
  ID3comment->SetValue(Fitted(ID3comment, Shown(TagValues.TagComment)));
  cbShowTagEditor->setChecked(false);
  ShowShortened();
}

void TfrmTagEditor::DisableTitle() {
  ID3title->setEnabled(false);
  lTitle->setEnabled(false);
  ShowShortened();
}

void TfrmTagEditor::ShowShortened() {
  if (FKeeping == TTagKeeping::Whole) return;
  QStringList cut;
  const std::pair<TLimitedEdit*, const char*> fields[] = {
      {ID3title, "title"}, {ID3artist, "artist"}, {ID3album, "album"}, {ID3comment, "comment"}};
  for (auto [e, name] : fields)
    if (e->isEnabled() &&
        (FKeeping == TTagKeeping::Id3v1 ? std::count(FCut.begin(), FCut.end(), e) > 0 : e->text().size() > kId3v1Text))
      cut << name;
  const bool several = cut.size() > 1;
  if (several) cut = QStringList{cut.mid(0, cut.size() - 1).join(", ") + " and " + cut.back()};
  if (cut.isEmpty())
    SetNote({});
  else if (FKeeping == TTagKeeping::Id3v1)
    SetNote(
        QString("The %1 %2 cut to the 30 characters an ID3v1 tag holds.").arg(cut.front(), several ? "were" : "was"));
  else
    SetNote(QString("ID3v1 keeps 30 characters of the %1; the ID3v2 tag keeps %2 whole.")
                .arg(cut.front(), several ? "them" : "it"));
}

void TfrmTagEditor::SetNote(const QString& Text) {
  FRefused.clear();
  FReasons.clear();
  FRefusedBy.clear();
  lNote->setText(Text);
  lNote->setToolTip(Text);
  lNote->setAccessibleDescription(Text);
}

void TfrmTagEditor::ShowRefused(const QString& Field, const TLimitedEdit* Edit, const QString& LeftOut,
                                bool NotAllowed) {
  QApplication::beep();
  // Every key refused in a row in the field is named, not the last alone,
  // with every reason.
  QStringList refused = Field == FRefusedBy ? FRefused : QStringList();
  QStringList reasons = Field == FRefusedBy ? FReasons : QStringList();
  refused << "\"" + LeftOut + "\"";
  const QString reason = !NotAllowed ? QString("holds at most %1 characters%2")
                                           .arg(Edit->Limit())
                                           .arg(Edit->Limit() == kId3v1Text ? " in an ID3v1 tag" : "")
                         : Edit == ID3year ? "takes digits only"
                                           : "takes a number or two as in 3/12";
  if (!reasons.contains(reason)) reasons << reason;
  SetNote(QString("%1 %2: %3 %4 not taken.")
              .arg(Field, reasons.join(" and "), refused.join(", "), refused.size() > 1 ? "were" : "was"));
  FRefused = refused;
  FReasons = reasons;
  FRefusedBy = Field;
}

void TfrmTagEditor::btOkClick() {
  if (ID3title->isEnabled()) TagValues.TagTitle = Kept(ID3title, TagValues.TagTitle);
  TagValues.TagArtist = Kept(ID3artist, TagValues.TagArtist);
  TagValues.TagAlbum = Kept(ID3album, TagValues.TagAlbum);
  TagValues.TagYear = ID3year->text().toStdString();
  TagValues.TagGenreIndex = ID3genre->currentIndex();
  if (TagValues.TagGenreIndex >= 0) TagValues.TagGenreName.clear();
  // A track, or a track and the count: "3/" is the track alone.
  QString track = ID3track->text();
  if (track.endsWith('/')) track.chop(1);
  TagValues.TagTrack = track.toStdString();
  TagValues.TagComment = Kept(ID3comment, TagValues.TagComment);
  Settings.IsShowTagEditor = !cbShowTagEditor->isChecked();
  accept();
}

}  // namespace tonvale::gui
