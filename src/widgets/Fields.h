#pragma once
#include <QString>
#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
class QWidget;

// A caption for a field: the label's buddy is the field, so that a screen reader names the field
// by it and an "&" mnemonic in it moves the focus there.
QLabel *captionFor(QWidget *field, const QString &text, QWidget *parent);
// A caption as read, without the "&" that marks its Alt letter ("&&" is a plain "&").
QString plainCaption(const QString &caption);

// A hint shows as the tooltip and, through the main window, in its hint panel; it is also the
// control's accessible description.
void setHint(QWidget *widget, const QString &hint);
// The tabs' hints (their tooltips) also go to the hint panel, as the hovered tab changes.
void hintTabs(QTabWidget *tabs);

// A password field: each typed character shows as "*", whatever the style's own mask is.
void showAsStars(QLineEdit *edit);

// Text from the database as it goes on screen: at most maxChars characters and maxLines lines,
// then "…" (a title of megabytes or a million line breaks would hold the window for seconds).
// The whole text stays with the caller, shown by showWholeText on request.
QString shownText(const QString &text, int maxChars = 2000, int maxLines = 40);
// The whole of a long text, plain, in a read-only box of its own.
void showWholeText(QWidget *parent, const QString &title, const QString &text);

// A label for text that comes from the database or a participant: shown as it is, never as markup.
QLabel *plainLabel(const QString &text, QWidget *parent);
QPushButton *hintedButton(QWidget *parent, const QString &caption, const char *objectName, const QString &hint);

// Combo boxes and spin boxes inside a scrolling area: the wheel changes their value only while
// they have the focus; otherwise it scrolls the area (a score must not change by scrolling).
void wheelOnlyWithFocus(QWidget *widget);

// Shows a stored value whole: an edit's length limit is for what is typed, and setText would
// otherwise cut a longer stored value (which a save would then store cut).
void setStoredText(QLineEdit *edit, const QString &text);

// When the column cannot store some characters of the text (the centre's table may be in a
// narrower character set): says which, puts the focus in the box and returns false.
bool storableIn(QWidget *box, const QString &table, const QString &column, const QString &text);

// Runs long work (a password check, a transfer) on a worker thread while the window keeps
// painting under a wait cursor and takes no input; what the work throws is thrown here.
void runOffThread(const std::function<void()> &work, const std::function<void()> &meanwhile = {});
