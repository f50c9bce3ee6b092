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

bool isWord(const QString& s, const Token& t, QStringView word)
{
    return t.kind == Token::Word
        && QStringView(s).mid(t.begin, t.end - t.begin).compare(word, Qt::CaseInsensitive) == 0;
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

QString quotedName(const QString& name)
{
    QString out = name;
    out.replace(u'"', QStringLiteral("\"\""));
    return u'"' + out + u'"';
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
