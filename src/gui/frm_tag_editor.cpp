#include "gui/frm_tag_editor.h"

#include <QGroupBox>
#include <algorithm>

#include "gui/widgets.h"
#include "settings/settings.h"
#include "settings/tag_values.h"
#include "tags/genre_list.h"
#include "tags/tag_text.h"

namespace tonvale::gui {

TfrmTagEditor::TfrmTagEditor(QWidget* Owner) : QDialog(Owner) {
  setObjectName("frmTagEditor");
  setWindowTitle("Tag Editor");
  setFixedSize(433, 240);
  // The positions are laid out for an 8-point font.
  QFont small = font();
  small.setPointSize(8);
  setFont(small);
  auto* group = new QGroupBox("ID3 Tag", this);
  group->setObjectName("GroupBox1");
  group->setGeometry(8, 8, 417, 161);
  auto label = [group](const QString& Name, const QString& Text, int X, int Y) {
    auto* l = new QLabel(Text, group);
    l->setObjectName(Name);
    l->move(X, Y);
    l->adjustSize();
    return l;
  };
  auto edit = [group](const QString& Name, int Limit, int X, int Y, int W) {
    auto* e = new TLimitedEdit(Limit, group);
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
  lTitle->setBuddy(ID3title = edit("ID3title", 30, left, 24, 242 - left));
  artist->setBuddy(ID3artist = edit("ID3artist", 30, left, 56, 242 - left));
  album->setBuddy(ID3album = edit("ID3album", 30, left, 88, 242 - left));
  comment->setBuddy(ID3comment = edit("ID3comment", 30, left, 120, 242 - left));
  QLabel* genre = label("Label5", "Genre:", 265, 28);
  ID3genre = Place<QComboBox>(group, "ID3genre", {309, 24, 98, 22});
  genre->setBuddy(ID3genre);
  for (const char* g : GenreList) ID3genre->addItem(QString::fromUtf8(g));
  label("Label4", "Year:", 264, 60)->setBuddy(ID3year = edit("ID3year", 4, 312, 56, 42));
  label("Label6", "Track #:", 264, 92)->setBuddy(ID3track = edit("ID3track", 2, 312, 88, 42));
  cbShowTagEditor = new QCheckBox("Don't show this dialog next time", this);
  cbShowTagEditor->setObjectName("cbShowTagEditor");
  cbShowTagEditor->move(8, 180);
  cbShowTagEditor->adjustSize();
  btOk = Place<QPushButton>(this, "btOk", {258, 206, 75, 25}, "&Start");
  btCancel = Place<QPushButton>(this, "btCancel", {347, 206, 75, 25}, "&Cancel");
  // Enter in an edit presses no button; Escape cancels.
  for (QPushButton* b : {btOk, btCancel}) b->setAutoDefault(false);
  connect(btOk, &QPushButton::clicked, this, [this] { btOkClick(); });
  connect(btCancel, &QPushButton::clicked, this, &QDialog::reject);
  QWidget* order[] = {ID3title,   ID3artist, ID3album,        ID3year, ID3genre,
                      ID3comment, ID3track,  cbShowTagEditor, btOk,    btCancel};
  for (size_t i = 0; i + 1 < std::size(order); ++i) setTabOrder(order[i], order[i + 1]);
  FormCreate();
}

namespace {

// Several values of a field (separated by zeros) are shown joined by "; ",
// and kept as several unless the text shown was changed.
QString Shown(const std::string& Value) { return QString::fromStdString(JoinedValues(Value)); }
std::string Kept(const QLineEdit* Edit, const std::string& Value) {
  return Edit->text() == Shown(Value) ? Value : Edit->text().toStdString();
}

}  // namespace

void TfrmTagEditor::FormCreate() {
  ID3title->setText(Shown(TagValues.TagTitle));
  ID3artist->setText(Shown(TagValues.TagArtist));
  ID3album->setText(Shown(TagValues.TagAlbum));
  ID3year->setText(QString::fromStdString(TagValues.TagYear));
  const int genre = TagValues.TagGenreIndex;
  ID3genre->setCurrentIndex(genre >= 0 && genre < ID3genre->count() ? genre : -1);
  ID3track->setText(QString::fromStdString(TagValues.TagTrack));
  ID3comment->setText(Shown(TagValues.TagComment));
  cbShowTagEditor->setChecked(false);
}

void TfrmTagEditor::DisableTitle() {
  ID3title->setEnabled(false);
  lTitle->setEnabled(false);
}

void TfrmTagEditor::btOkClick() {
  if (ID3title->isEnabled()) TagValues.TagTitle = Kept(ID3title, TagValues.TagTitle);
  TagValues.TagArtist = Kept(ID3artist, TagValues.TagArtist);
  TagValues.TagAlbum = Kept(ID3album, TagValues.TagAlbum);
  TagValues.TagYear = ID3year->text().toStdString();
  TagValues.TagGenreIndex = ID3genre->currentIndex();
  if (TagValues.TagGenreIndex >= 0) TagValues.TagGenreName.clear();
  TagValues.TagTrack = ID3track->text().toStdString();
  TagValues.TagComment = Kept(ID3comment, TagValues.TagComment);
  Settings.IsShowTagEditor = !cbShowTagEditor->isChecked();
  accept();
}

}  // namespace tonvale::gui
