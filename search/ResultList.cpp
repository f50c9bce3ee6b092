#include "ResultList.h"

#include "SearchForm.h"
#include "catalog/NodeData.h"
#include "common/MainState.h"
#include "store/Archive.h"

#include <QHeaderView>
#include <QLabel>
#include <QSplitter>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

#include <algorithm>
#include <utility>
#include <vector>

namespace tallowmere {

namespace {

// Above this many lines the exchange procedure (quadratic) would freeze the
// window for minutes; a stable sort gives the same order except among equal keys.
constexpr int kExchangeSortLimit = 5000;

struct Row {
    QString texts[kResultColumns];
    QByteArray text;  // key of a text column, as UTF-8 bytes
    qint64 number = 0;
};

// Byte by byte, by byte value, a prefix first: no locale, case matters.
int compareBytes(const QByteArray& a, const QByteArray& b)
{
    return a.compare(b, Qt::CaseSensitive);
}

} // namespace

void prepareResultList(QTreeWidget* list)
{
    list->setColumnCount(kResultColumns);
    list->header()->setSectionsClickable(true);   // a click on a header sorts
    list->setColumnHidden(ColId, true);
    list->setColumnHidden(ColTypeId, true);
}

bool fillResultList(MainState& state, QTreeWidget* list, const QString& statement)
{
    list->clear();
    bool ok = state.pQ && runQuery(*state.pQ, statement);
    QList<QTreeWidgetItem*> lines;
    if (ok) {
        Dataset& q = *state.pQ;
        try {
            if (!q.eof()) {
                static const char* const kNames[kResultColumns] = {"Title", "CreateTime", "ModifyTime",
                                                                  "SizeByte", "ExtName", "ID", "typeid"};
                std::vector<Field> fields;
                for (const char* name : kNames)
                    fields.push_back(q.fieldByName(QLatin1String(name)));
                for (; !q.eof(); q.next()) {
                    auto* line = new QTreeWidgetItem;
                    for (int c = 0; c < kResultColumns; ++c)
                        line->setText(c, fields[c].asString());
                    lines << line;
                }
            }
        } catch (const EngineError&) {
            qDeleteAll(lines);
            lines.clear();
            ok = false;
        }
        q.close();
    }
    list->addTopLevelItems(lines);
    // A failed search must not read as one that found nothing.
    if (state.statusPanels[0])
        state.statusPanels[0]->setText(ok ? QStringLiteral("Found ") + QString::number(lines.size())
                                                + QStringLiteral(" results")
                                          : QStringLiteral("The search could not be run"));
    for (int i = 1; i < 4; ++i)
        if (state.statusPanels[i])
            state.statusPanels[i]->clear();
    return ok;
}

void sortResultList(QTreeWidget* list, int column, bool& ascending)
{
    ascending = !ascending;
    if (column < ColTitle || column > ColExt)
        return;
    const int n = list->topLevelItemCount();
    std::vector<Row> rows(n);
    for (int i = 0; i < n; ++i) {
        QTreeWidgetItem* line = list->topLevelItem(i);
        Row& r = rows[i];
        for (int c = 0; c < kResultColumns; ++c)
            r.texts[c] = line->text(c);
        if (column == ColSize) {
            // An empty size becomes "0" in the line itself.
            if (r.texts[ColSize].trimmed().isEmpty()) {
                r.texts[ColSize] = QStringLiteral("0");
                line->setText(ColSize, r.texts[ColSize]);
            }
            r.number = r.texts[ColSize].trimmed().toLongLong();
        } else {
            r.text = r.texts[column].toUtf8();
        }
    }
    const bool bySize = column == ColSize;
    const bool asc = ascending;
    // True when a must come before b in the chosen direction.
    auto before = [bySize, asc](const Row& a, const Row& b) {
        const int c = bySize ? (a.number < b.number ? -1 : a.number > b.number ? 1 : 0) : compareBytes(a.text, b.text);
        return asc ? c < 0 : c > 0;
    };
    if (n <= kExchangeSortLimit) {
        for (int a = 0; a + 1 < n; ++a)
            for (int b = a + 1; b < n; ++b)
                if (before(rows[b], rows[a]))
                    std::swap(rows[a], rows[b]);
    } else {
        std::stable_sort(rows.begin(), rows.end(), before);
    }
    for (int i = 0; i < n; ++i) {
        QTreeWidgetItem* line = list->topLevelItem(i);
        for (int c = 0; c < kResultColumns; ++c)
            if (line->text(c) != rows[i].texts[c])
                line->setText(c, rows[i].texts[c]);
    }
}

bool selectResultLine(MainState& state, QTreeWidget* list, ResultLine& line)
{
    const QList<QTreeWidgetItem*> selected = list->selectedItems();
    if (selected.isEmpty())
        return false;
    QTreeWidgetItem* chosen = selected.first();
    line.id = chosen->text(ColId);
    line.typeId = chosen->text(ColTypeId);
    line.title = chosen->text(ColTitle);
    if (state.tree) {
        for (QTreeWidgetItemIterator it(state.tree); *it; ++it) {
            const TNodeData* data = nodeData(*it);
            if (data && data->ID == line.id) {
                state.tree->setCurrentItem(*it);
                break;
            }
        }
    }
    return true;
}

SearchPanel::SearchPanel(MainState& state, TForm_Search& dialog, QTreeWidget* list, QSplitter* splitter)
    : m_state(state), m_dialog(dialog), m_list(list), m_splitter(splitter)
{
    prepareResultList(m_list);
}

bool SearchPanel::runSearch(int scope)
{
    m_dialog.searchScope = scope;
    if (m_dialog.exec() != QDialog::Accepted)
        return false;
    setBottomHeight(kBottomPanelHeight);
    fillResultList(m_state, m_list, m_dialog.searchStatement());
    return true;
}

void SearchPanel::closePanel() { setBottomHeight(0); }

void SearchPanel::setBottomHeight(int height)
{
    if (!m_splitter)
        return;
    const QList<int> sizes = m_splitter->sizes();
    int total = 0;
    for (int s : sizes)
        total += s;
    if (total <= 0)
        total = m_splitter->height();
    m_splitter->setSizes({std::max(total - height, 1), height});
}

} // namespace tallowmere
