#pragma once
// Records the text of every statement a connection runs, with its bound values.

#include "store/Dataset.h"

#include <QStringList>
#include <sqlite3.h>

namespace tallowmere::test {

class StatementLog {
public:
    explicit StatementLog(Connection& connection) : db_(connection.handle())
    {
        sqlite3_trace_v2(db_, SQLITE_TRACE_STMT, &StatementLog::record, this);
    }
    ~StatementLog() { sqlite3_trace_v2(db_, 0, nullptr, nullptr); }
    StatementLog(const StatementLog&) = delete;
    StatementLog& operator=(const StatementLog&) = delete;

    QStringList statements;
    // The statements that begin with prefix (letter case ignored).
    QStringList starting(const QString& prefix) const
    {
        QStringList out;
        for (const QString& s : statements)
            if (s.startsWith(prefix, Qt::CaseInsensitive))
                out << s;
        return out;
    }

private:
    static int record(unsigned, void* self, void* statement, void* text)
    {
        // Statements run by triggers arrive as comments; only top-level ones count.
        if (QByteArray(static_cast<const char*>(text)).startsWith("--"))
            return 0;
        // With the values bound to it in place, as the program wrote the text.
        char* expanded = sqlite3_expanded_sql(static_cast<sqlite3_stmt*>(statement));
        static_cast<StatementLog*>(self)->statements
            << QString::fromUtf8(expanded ? expanded : static_cast<const char*>(text));
        sqlite3_free(expanded);
        return 0;
    }
    sqlite3* db_;
};

} // namespace tallowmere::test
