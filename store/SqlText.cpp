#include "store/SqlText.h"

#include "store/Dataset.h"

#include <QStringView>
#include <vector>

namespace tallowmere::sql {

namespace {

bool isWordChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'_' || c == u'$' || c.unicode() >= 0x80;
}

// word is a keyword in lower-case ASCII letters.
bool isWord(const QString& s, const Token& t, QStringView word)
{
    if (t.kind != Token::Word || t.end - t.begin != word.size())
        return false;
    const QChar* c = s.constData() + t.begin;
    for (const QChar w : word) {
        if (*c != w && c->unicode() != w.unicode() - (u'a' - u'A'))
            return false;
        ++c;
    }
    return true;
}

bool isOther(const QString& s, const Token& t, QChar c)
{
    return t.kind == Token::Other && s.at(t.begin) == c;
}

} // namespace

bool Lexer::next(Token& token)
{
    const qsizetype n = s_.size();
    if (i_ >= n)
        return false;
    const qsizetype begin = i_;
    const QChar c = s_.at(i_);
    const QChar after = i_ + 1 < n ? s_.at(i_ + 1) : QChar();
    Token::Kind kind = Token::Other;

    auto upTo = [&](QStringView closing, qsizetype from) {
        const qsizetype at = s_.indexOf(closing, from);
        return at < 0 ? n : at + closing.size();
    };

    if (c.isSpace()) {
        while (i_ < n && s_.at(i_).isSpace())
            ++i_;
        kind = Token::Space;
    } else if (c == u'-' && after == u'-') {
        i_ = upTo(u"\n", i_ + 2);
        kind = Token::Comment;
    } else if (c == u'/' && after == u'*') {
        i_ = upTo(u"*/", i_ + 2);
        kind = Token::Comment;
    } else if (c == u'\'' || c == u'"' || c == u'`') {
        // A doubled quote inside ends one token and starts the next at once,
        // which keeps the text between them inside quotes as it should.
        i_ = upTo(QStringView(&c, 1), i_ + 1);
        kind = Token::Quoted;
    } else if (c == u'[') {
        i_ = upTo(u"]", i_ + 1);
        kind = Token::Quoted;
    } else if (isWordChar(c)) {
        while (i_ < n && isWordChar(s_.at(i_)))
            ++i_;
        kind = Token::Word;
    } else {
        ++i_;
    }
    token = Token{kind, begin, i_};
    return true;
}

std::optional<SingleTableSelect> singleTableSelect(const QString& s)
{
    std::vector<Token> top;   // significant tokens outside parentheses
    Lexer lexer(s);
    Token t;
    int depth = 0;
    while (lexer.next(t)) {
        if (t.kind == Token::Space || t.kind == Token::Comment)
            continue;
        if (isOther(s, t, u'(')) {
            ++depth;
            continue;
        }
        if (isOther(s, t, u')')) {
            --depth;
            continue;
        }
        if (depth == 0)
            top.push_back(t);
    }
    if (top.size() < 4 || !isWord(s, top[0], u"select") || isWord(s, top[1], u"distinct"))
        return std::nullopt;

    size_t i = 1;
    while (i < top.size() && !isWord(s, top[i], u"from"))
        ++i;
    if (i >= top.size())
        return std::nullopt;
    const qsizetype fromEnd = top[i].end;
    ++i;

    auto isName = [&](size_t k) {
        return k < top.size() && (top[k].kind == Token::Word || top[k].kind == Token::Quoted);
    };
    auto isClause = [&](size_t k) {
        return isWord(s, top[k], u"where") || isWord(s, top[k], u"order") || isWord(s, top[k], u"limit");
    };

    // table, schema.table
    if (!isName(i))
        return std::nullopt;
    ++i;
    if (i + 1 < top.size() && isOther(s, top[i], u'.') && isName(i + 1))
        i += 2;
    // [AS] alias
    if (i < top.size() && isWord(s, top[i], u"as"))
        ++i;
    if (isName(i) && !isClause(i))
        ++i;
    const qsizetype sourceEnd = top[i - 1].end;
    if (i < top.size() && !isClause(i) && !isOther(s, top[i], u';'))
        return std::nullopt;
    for (; i < top.size(); ++i) {
        for (auto word : {u"group", u"having", u"union", u"intersect", u"except", u"join", u"window"}) {
            if (isWord(s, top[i], word))
                return std::nullopt;
        }
    }
    return SingleTableSelect{fromEnd, sourceEnd};
}

std::optional<Parameterized> parameterized(const QString& s)
{
    // More would bind more than a statement is worth keeping for (a long list
    // of ids, say), and could pass SQLite's limit of parameters.
    constexpr size_t kMaxLiterals = 64;

    std::vector<Token> tokens;  // significant ones only
    tokens.reserve(s.size() / 4);
    Lexer lexer(s);
    Token t;
    while (lexer.next(t)) {
        if (t.kind != Token::Space && t.kind != Token::Comment)
            tokens.push_back(t);
    }
    if (tokens.empty())
        return std::nullopt;
    bool known = false;
    for (auto word : {u"select", u"insert", u"replace", u"update", u"delete"})
        known = known || isWord(s, tokens[0], word);
    if (!known)
        return std::nullopt;
    // A text with parameters of its own is left alone: ours would shift theirs.
    for (const Token& tk : tokens) {
        if (isOther(s, tk, u'?') || isOther(s, tk, u':') || isOther(s, tk, u'@')
            || (tk.kind == Token::Word && s.at(tk.begin) == u'$'))
            return std::nullopt;
    }

    auto isStringPart = [&](size_t k) {
        return tokens[k].kind == Token::Quoted && s.at(tokens[k].begin) == u'\'';
    };
    // Digits only, not part of a real (1.5, .5, 1e5 are words or split by '.'),
    // and small enough for 64 bits.
    auto isInteger = [&](const Token& tk) {
        if (tk.kind != Token::Word || tk.end - tk.begin > 18)
            return false;
        for (qsizetype i = tk.begin; i < tk.end; ++i) {
            if (s.at(i) < u'0' || s.at(i) > u'9')
                return false;
        }
        return !(tk.begin > 0 && s.at(tk.begin - 1) == u'.') && !(tk.end < s.size() && s.at(tk.end) == u'.');
    };

    // What the current parenthesis level is in: a select's result columns
    // (from SELECT to its FROM) or an ORDER BY or GROUP BY list.
    struct Level {
        bool columns = false;
        bool ordering = false;
    };
    std::vector<Level> levels{Level{}};
    auto keptHere = [&](bool number) {
        for (const Level& level : levels) {
            if (level.columns || (number && level.ordering))
                return true;
        }
        return false;
    };

    Parameterized out;
    out.text.reserve(s.size());
    qsizetype copied = 0;
    auto replace = [&](qsizetype begin, qsizetype end, Parameterized::Value value) {
        out.text += QStringView(s).mid(copied, begin - copied);
        out.text += u'?';
        copied = end;
        out.values.push_back(std::move(value));
    };
    for (size_t k = 0; k < tokens.size(); ++k) {
        const Token& tk = tokens[k];
        if (isOther(s, tk, u'(')) {
            levels.emplace_back();
        } else if (isOther(s, tk, u')')) {
            if (levels.size() > 1)
                levels.pop_back();
        } else if (isOther(s, tk, u';') && levels.size() == 1) {
            if (k + 1 < tokens.size())
                return std::nullopt;  // a second statement follows
        } else if (isWord(s, tk, u"select")) {
            levels.back() = Level{true, false};
        } else if (isWord(s, tk, u"from")) {
            levels.back().columns = false;
        } else if (isWord(s, tk, u"order") || isWord(s, tk, u"group")) {
            levels.back().ordering = true;
        } else if (isWord(s, tk, u"limit") || isWord(s, tk, u"having") || isWord(s, tk, u"union")
                   || isWord(s, tk, u"intersect") || isWord(s, tk, u"except")) {
            levels.back().ordering = false;
        } else if (isStringPart(k)) {
            // 'it''s' comes as adjacent tokens: the doubled quote starts the next.
            const size_t k0 = k;
            size_t last = k;
            while (last + 1 < tokens.size() && isStringPart(last + 1) && tokens[last + 1].begin == tokens[last].end)
                ++last;
            const qsizetype begin = tk.begin;
            const qsizetype end = tokens[last].end;
            // X'00ff' is a blob, not text.
            const bool blob = k > 0 && tokens[k - 1].end == begin && isWord(s, tokens[k - 1], u"x");
            for (; k <= last; ++k) {
                if (tokens[k].end - tokens[k].begin < 2 || s.at(tokens[k].end - 1) != u'\'')
                    return std::nullopt;  // unterminated: left to SQLite to report
            }
            k = last;
            if (blob || keptHere(false))
                continue;
            QString text = s.mid(begin + 1, end - begin - 2);
            if (last > k0)
                text.replace(QStringLiteral("''"), QStringLiteral("'"));
            replace(begin, end, {std::move(text), 0, false});
        } else if (isInteger(tk)) {
            if (keptHere(true))
                continue;
            replace(tk.begin, tk.end, {QString(), QStringView(s).mid(tk.begin, tk.end - tk.begin).toLongLong(), true});
        } else if (isWord(s, tk, u"true") || isWord(s, tk, u"false")) {
            // The older dialect's booleans, as rewriteBooleanLiterals has them.
            const bool value = isWord(s, tk, u"true");
            if (keptHere(true)) {
                out.text += QStringView(s).mid(copied, tk.begin - copied);
                out.text += value ? u'1' : u'0';
                copied = tk.end;
                continue;
            }
            replace(tk.begin, tk.end, {QString(), value ? 1 : 0, true});
        } else {
            continue;
        }
        if (out.values.size() > kMaxLiterals)
            return std::nullopt;
    }
    out.text += QStringView(s).mid(copied);
    return out;
}

QString quotedName(const QString& name)
{
    QString out;
    out.reserve(name.size() + 2);
    out += u'"';
    if (name.contains(u'"'))
        out += QString(name).replace(u'"', QStringLiteral("\"\""));
    else
        out += name;
    out += u'"';
    return out;
}

} // namespace tallowmere::sql

namespace tallowmere {

QString rewriteBooleanLiterals(const QString& statement)
{
    QString out;
    out.reserve(statement.size());
    sql::Lexer lexer(statement);
    sql::Token t;
    while (lexer.next(t)) {
        const QStringView text = QStringView(statement).mid(t.begin, t.end - t.begin);
        if (t.kind == sql::Token::Word && text.compare(u"true", Qt::CaseInsensitive) == 0)
            out += u'1';
        else if (t.kind == sql::Token::Word && text.compare(u"false", Qt::CaseInsensitive) == 0)
            out += u'0';
        else
            out += text;
    }
    return out;
}

} // namespace tallowmere
