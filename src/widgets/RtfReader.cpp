#include "widgets/RtfReader.h"

#include <QColor>
#include <QHash>
#include <QList>
#include <QSet>
#include <QStringDecoder>
#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <map>
#include <memory>
#include <optional>

namespace Rtf {

bool isRtf(const QString &text)
{
    return text.trimmed().startsWith(QLatin1String("{\\rtf"));
}

namespace {

enum class Dest { Text, Skip, FontTable, ColorTable };

constexpr int kMaxHalfPoints = 3276;   // 1638 pt, the largest size word processors offer

struct State {
    Dest dest = Dest::Text;
    bool bold = false, italic = false, underline = false, strike = false;
    int halfPoints = 0;   // 0: the document's default size
    int color = 0;        // 0: the default colour
    int font = -1;        // -1: the default font
    int uc = 1;           // characters standing in for each \uN
    Qt::Alignment align = Qt::AlignLeft;
};

// Windows code page of a font charset; 0 means "the document's code page".
int codePageOfCharset(int charset)
{
    static const QHash<int, int> table{{128, 932},  {129, 949},  {134, 936},  {136, 950},  {161, 1253},
                                       {162, 1254}, {163, 1258}, {177, 1255}, {178, 1256}, {186, 1257},
                                       {204, 1251}, {222, 874},  {238, 1250}, {255, 437}};
    return table.value(charset, 0);
}

// Destinations whose content is not part of the visible text.
const QSet<QString> &skippedDestinations()
{
    static const QSet<QString> names{
        "stylesheet", "info",     "pict",        "header",      "headerl",      "headerr",    "headerf",
        "footer",     "footerl",  "footerr",     "footerf",     "footnote",     "fldinst",    "object",
        "listtable",  "listoverridetable",       "revtbl",      "rsidtbl",      "generator",  "xmlnstbl",
        "themedata",  "colorschememapping",      "latentstyles", "datastore",   "filetbl",    "pgdsctbl",
        "bkmkstart",  "bkmkend",  "nonshppict",  "shp",         "shpinst",      "listtext",   "pntext",
        "pntxta",     "pntxtb",   "mmathPr",     "userprops",   "docvar",       "annotation", "atnid",
        "atnauthor",  "comment",  "title",       "author",      "operator",     "company"};
    return names;
}

// Qt lays a block out whole, and each format change is a fragment of its own: a text that
// switches bold 50,000 times, or one line of half a million characters, would take minutes.
constexpr int kMaxFragments = 4000;     // format changes beyond these take the last format
constexpr int kMaxLineChars = 1000;     // a longer run without a break is broken here
constexpr int kMaxParagraphs = 5000;    // a million empty lines would take seconds and gigabytes to lay out
constexpr int kLinesPerBlock = 100;

class Reader {
public:
    Reader(QTextDocument &document, const QString &text) : m_text(text), m_cursor(&document) {}

    // True when the text was cut at kMaxParagraphs.
    bool run()
    {
        // one edit: the document is laid out once, at the end, not after every insertion
        m_cursor.beginEditBlock();
        read();
        m_cursor.endEditBlock();
        return m_paragraphs >= kMaxParagraphs;
    }

private:
    void read()
    {
        int depth = 0;
        while (m_pos < m_text.size() && m_paragraphs < kMaxParagraphs) {
            const QChar c = m_text.at(m_pos);
            // Text waiting for insertion carries its own format: a group or a control word ends
            // it only when the format really changes (see text()), bytes waiting for decoding
            // are decoded in the font they were written in.
            if (c == u'{') {
                ++m_pos;
                flushBytes();
                m_skipChars = 0;
                m_stack.append(m_state);
                ++depth;
            } else if (c == u'}') {
                ++m_pos;
                flushBytes();
                m_skipChars = 0;
                endGroup();
                if (m_stack.isEmpty() || --depth == 0)
                    break;
                m_state = m_stack.takeLast();
            } else if (c == u'\\') {
                controlWord();
            } else if (c == u'\r' || c == u'\n') {
                ++m_pos;
            } else {
                ++m_pos;
                if (c == u'\t')
                    text(QStringLiteral("\t"));
                else
                    text(QString(c));
            }
        }
        flushAll();
        applyBlockFormat();
    }

    void controlWord()
    {
        ++m_pos;   // the backslash
        if (m_pos >= m_text.size())
            return;
        const QChar c = m_text.at(m_pos);
        if (!isAsciiLetter(c)) {
            ++m_pos;
            controlSymbol(c);
            return;
        }
        const qsizetype start = m_pos;
        while (m_pos < m_text.size() && isAsciiLetter(m_text.at(m_pos)))
            ++m_pos;
        const QString word = m_text.mid(start, m_pos - start);
        bool hasParam = false;
        int param = 0;
        const qsizetype numStart = m_pos;
        if (m_pos < m_text.size() && m_text.at(m_pos) == u'-')
            ++m_pos;
        while (m_pos < m_text.size() && m_text.at(m_pos).isDigit() && m_text.at(m_pos).unicode() < 128)
            ++m_pos;
        if (m_pos > numStart && !(m_pos == numStart + 1 && m_text.at(numStart) == u'-')) {
            hasParam = true;
            param = m_text.mid(numStart, m_pos - numStart).toInt();
        } else {
            m_pos = numStart;
        }
        if (m_pos < m_text.size() && m_text.at(m_pos) == u' ')
            ++m_pos;   // the delimiter belongs to the word
        if (word != QLatin1String("u"))
            flushBytes();
        m_skipChars = 0;
        handle(word, hasParam, param);
    }

    static bool isAsciiLetter(QChar c)
    {
        const ushort u = c.unicode();
        return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z');
    }

    void controlSymbol(QChar c)
    {
        switch (c.unicode()) {
        case '\'': {
            bool ok = false;
            const int byte = m_text.mid(m_pos, 2).toInt(&ok, 16);
            if (ok && m_pos + 2 <= m_text.size()) {
                m_pos += 2;
                if (m_skipChars > 0) {
                    --m_skipChars;
                    return;
                }
                m_bytes.append(char(byte));
            }
            return;
        }
        case '*':
            m_state.dest = Dest::Skip;
            return;
        case '\\':
        case '{':
        case '}':
            text(QString(c));
            return;
        case '~':
            text(QString(QChar(0x00A0)));
            return;
        case '_':
            text(QString(QChar(0x2011)));
            return;
        case '\r':
        case '\n':
            paragraph();   // a backslash before a line end is a paragraph mark
            return;
        default:
            return;        // \- (optional hyphen), \: and the like show nothing
        }
    }

    void handle(const QString &w, bool hasParam, int param)
    {
        if (m_state.dest == Dest::Skip)
            return;
        if (w == QLatin1String("fonttbl")) {
            m_state.dest = Dest::FontTable;
            return;
        }
        if (w == QLatin1String("colortbl")) {
            m_state.dest = Dest::ColorTable;
            resetColourEntry();
            return;
        }
        if (skippedDestinations().contains(w)) {
            m_state.dest = Dest::Skip;
            return;
        }
        if (w == QLatin1String("bin")) {
            // binary data is never text; its length is the author's word, the text's end is ours
            m_pos = qMin(m_text.size(), m_pos + qsizetype(qMax(0, param)));
            return;
        }
        if (m_state.dest == Dest::FontTable) {
            if (w == QLatin1String("f"))
                m_fontEntry = param;
            else if (w == QLatin1String("fcharset"))
                m_fontCharset[m_fontEntry] = param;
            return;
        }
        if (m_state.dest == Dest::ColorTable) {
            if (w == QLatin1String("red"))
                m_red = param, m_colourSet = true;
            else if (w == QLatin1String("green"))
                m_green = param, m_colourSet = true;
            else if (w == QLatin1String("blue"))
                m_blue = param, m_colourSet = true;
            return;
        }
        const bool on = !hasParam || param != 0;
        if (w == QLatin1String("ansicpg"))
            m_codePage = param;
        else if (w == QLatin1String("deff"))
            m_defaultFont = param;
        else if (w == QLatin1String("uc"))
            m_state.uc = qMax(0, param);
        else if (w == QLatin1String("u")) {
            flushBytes();
            text(QString(QChar(ushort(param < 0 ? param + 65536 : param))));
            m_skipChars = m_state.uc;
        } else if (w == QLatin1String("par") || w == QLatin1String("sect") || w == QLatin1String("page")
                   || w == QLatin1String("row"))
            paragraph();
        else if (w == QLatin1String("pard")) {
            m_state.align = Qt::AlignLeft;
        } else if (w == QLatin1String("plain")) {
            const State keep = m_state;
            m_state = State();
            m_state.dest = keep.dest;
            m_state.uc = keep.uc;
            m_state.align = keep.align;
        } else if (w == QLatin1String("b"))
            m_state.bold = on;
        else if (w == QLatin1String("i"))
            m_state.italic = on;
        else if (w == QLatin1String("ul"))
            m_state.underline = on;
        else if (w == QLatin1String("ulnone"))
            m_state.underline = false;
        else if (w == QLatin1String("strike"))
            m_state.strike = on;
        else if (w == QLatin1String("fs"))
            m_state.halfPoints = hasParam ? qBound(0, param, kMaxHalfPoints) : 0;
        else if (w == QLatin1String("cf"))
            m_state.color = param;
        else if (w == QLatin1String("f"))
            m_state.font = param;
        else if (w == QLatin1String("ql"))
            m_state.align = Qt::AlignLeft;
        else if (w == QLatin1String("qc"))
            m_state.align = Qt::AlignHCenter;
        else if (w == QLatin1String("qr"))
            m_state.align = Qt::AlignRight;
        else if (w == QLatin1String("qj"))
            m_state.align = Qt::AlignJustify;
        else if (w == QLatin1String("line"))
            lineBreak();
        else if (w == QLatin1String("tab") || w == QLatin1String("cell"))
            text(QStringLiteral("\t"));
        else if (w == QLatin1String("emdash"))
            text(QString(QChar(0x2014)));
        else if (w == QLatin1String("endash"))
            text(QString(QChar(0x2013)));
        else if (w == QLatin1String("bullet"))
            text(QString(QChar(0x2022)));
        else if (w == QLatin1String("lquote"))
            text(QString(QChar(0x2018)));
        else if (w == QLatin1String("rquote"))
            text(QString(QChar(0x2019)));
        else if (w == QLatin1String("ldblquote"))
            text(QString(QChar(0x201C)));
        else if (w == QLatin1String("rdblquote"))
            text(QString(QChar(0x201D)));
    }

    void text(const QString &s)
    {
        if (m_skipChars > 0) {
            --m_skipChars;
            return;
        }
        switch (m_state.dest) {
        case Dest::Text:
            if (!m_bytes.isEmpty())
                flushBytes();
            if (m_pendingState.has_value() && !sameFormat(*m_pendingState, m_state) && m_fragments < kMaxFragments)
                flushText();
            if (!m_pendingState)
                m_pendingState = m_state;
            for (const QChar c : s) {
                m_pending += c;
                if (++m_lineChars >= kMaxLineChars)
                    lineBreak();
            }
            return;
        case Dest::FontTable:
            if (s == QLatin1String(";"))
                m_fontEntry = -1;
            return;
        case Dest::ColorTable:
            if (s == QLatin1String(";")) {
                m_colours.append(m_colourSet ? QColor(m_red, m_green, m_blue) : QColor());
                resetColourEntry();
            }
            return;
        case Dest::Skip:
            return;
        }
    }

    static bool sameFormat(const State &a, const State &b)
    {
        return a.bold == b.bold && a.italic == b.italic && a.underline == b.underline && a.strike == b.strike
               && a.halfPoints == b.halfPoints && a.color == b.color && a.align == b.align;
    }

    void resetColourEntry()
    {
        m_red = m_green = m_blue = 0;
        m_colourSet = false;
    }

    // Bytes of \'hh escapes are decoded together in the code page of the font in use.
    void flushBytes()
    {
        if (m_bytes.isEmpty())
            return;
        const QByteArray bytes = m_bytes;
        m_bytes.clear();
        text(decoder(currentCodePage()).decode(bytes));
    }

    int currentCodePage() const
    {
        const int font = m_state.font >= 0 ? m_state.font : m_defaultFont;
        const int fromFont = codePageOfCharset(m_fontCharset.value(font, 0));
        return fromFont ? fromFont : m_codePage;
    }

    QStringDecoder &decoder(int codePage)
    {
        auto it = m_decoders.find(codePage);
        if (it == m_decoders.end()) {
            auto d = std::make_unique<QStringDecoder>(QByteArray("windows-" + QByteArray::number(codePage)).constData());
            if (!d->isValid())
                d = std::make_unique<QStringDecoder>(QByteArray("CP" + QByteArray::number(codePage)).constData());
            if (!d->isValid())
                d = std::make_unique<QStringDecoder>(QStringDecoder::Latin1);
            it = m_decoders.emplace(codePage, std::move(d)).first;
        }
        return *it->second;
    }

    void flushText()
    {
        if (m_pending.isEmpty() || !m_pendingState)
            return;
        const State &s = *m_pendingState;
        QTextCharFormat f;
        f.setFontWeight(s.bold ? QFont::Bold : QFont::Normal);
        f.setFontItalic(s.italic);
        f.setFontUnderline(s.underline);
        f.setFontStrikeOut(s.strike);
        if (s.halfPoints > 0)
            f.setFontPointSize(s.halfPoints / 2.0);
        if (s.color > 0 && s.color < m_colours.size() && m_colours.at(s.color).isValid())
            f.setForeground(m_colours.at(s.color));
        m_blockAlign = s.align;
        m_cursor.insertText(m_pending, f);
        ++m_fragments;
        m_pending.clear();
        m_pendingState.reset();
    }

    // A line break in the text: a new block with the paragraph's format, inserted with the text
    // around it (one insertion, not one per line).
    void lineBreak()
    {
        if (m_state.dest != Dest::Text)
            return;
        if (!m_pendingState)
            m_pendingState = m_state;
        // a line separator within the block, but a new block every kLinesPerBlock lines: Qt
        // lays a block out whole, and a block per line costs as much again
        const bool newBlock = ++m_linesInBlock >= kLinesPerBlock;
        m_pending += QChar(newBlock ? QChar::ParagraphSeparator : QChar::LineSeparator);
        if (newBlock)
            m_linesInBlock = 0;
        m_lineChars = 0;
    }

    void flushAll()
    {
        flushBytes();
        flushText();
    }

    void applyBlockFormat()
    {
        QTextBlockFormat b = m_cursor.blockFormat();
        b.setAlignment(m_blockAlign);
        m_cursor.setBlockFormat(b);
    }

    void paragraph()
    {
        if (m_state.dest != Dest::Text)
            return;
        flushAll();
        m_blockAlign = m_state.align;
        applyBlockFormat();
        m_cursor.insertBlock();
        ++m_paragraphs;
        m_lineChars = 0;
        m_linesInBlock = 0;
    }

    void endGroup()
    {
        if (m_state.dest == Dest::ColorTable && m_colourSet) {
            // a last entry without its ";"
            m_colours.append(QColor(m_red, m_green, m_blue));
            resetColourEntry();
        }
    }

    const QString &m_text;
    qsizetype m_pos = 0;   // 64-bit: a control word's parameter is added to it
    QTextCursor m_cursor;
    State m_state;
    QList<State> m_stack;
    std::optional<State> m_pendingState;
    QString m_pending;
    QByteArray m_bytes;
    int m_skipChars = 0;
    int m_fragments = 0;
    int m_lineChars = 0;
    int m_linesInBlock = 0;
    int m_codePage = 1252;
    int m_defaultFont = 0;
    int m_fontEntry = -1;
    QHash<int, int> m_fontCharset;
    QList<QColor> m_colours;
    int m_red = 0, m_green = 0, m_blue = 0;
    bool m_colourSet = false;
    Qt::Alignment m_blockAlign = Qt::AlignLeft;
    std::map<int, std::unique_ptr<QStringDecoder>> m_decoders;
    int m_paragraphs = 0;
};

} // namespace

void load(QTextDocument &document, const QString &text, qsizetype limit)
{
    bool cut = text.size() > limit;
    const QString shown = cut ? text.left(limit) : text;
    if (!isRtf(shown)) {
        // plain text: lines too long to lay out quickly are broken, and lines beyond
        // kMaxParagraphs are not shown
        QString broken;
        broken.reserve(shown.size() + shown.size() / kMaxLineChars);
        int run = 0, lines = 0;
        for (const QChar c : shown) {
            run = (c == u'\n') ? 0 : run + 1;
            if (c == u'\n' && ++lines >= kMaxParagraphs) {
                cut = true;
                break;
            }
            broken += c;
            if (run >= kMaxLineChars) {
                broken += QLatin1Char('\n');
                run = 0;
            }
        }
        document.setPlainText(broken);
    } else {
        document.clear();
        cut = Reader(document, shown).run() || cut;
    }
    if (cut) {
        QTextCursor end(&document);
        end.movePosition(QTextCursor::End);
        end.insertBlock(QTextBlockFormat(), QTextCharFormat());
        end.insertText(cutNote());
    }
}

QString cutNote()
{
    return QStringLiteral("[Текст объявления слишком длинный: показано только его начало]");
}

} // namespace Rtf
