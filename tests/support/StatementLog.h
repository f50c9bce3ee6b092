#pragma once
// Records the text of every statement a connection runs, as prepared.

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
    static int record(unsigned, void* self, void*, void* text)
    {
        const QString sql = QString::fromUtf8(static_cast<const char*>(text));
        // Statements run by triggers arrive as comments; only top-level ones count.
        if (!sql.startsWith(QLatin1String("--")))
            static_cast<StatementLog*>(self)->statements << sql;
        return 0;
    }
    sqlite3* db_;
};

} // namespace tallowmere::test
