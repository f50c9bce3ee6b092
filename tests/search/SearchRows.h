#pragma once
// A small archive for the search tests: a tree of seven items with titles,
// dates, sizes, extensions and page texts chosen around the search's edges.
//   a "Alpha" (.txt)          b "Beta_1" (.html)      c "" (no extension)
//     a1 "Tom's page" (.htm)    b1 "Beta21" (.zip)
//     a2 "" (.mht)
//       a2x "100% sure" (.pdf)

#include <QString>

namespace tallowmere::test {

inline const QString kSearchRows = QStringLiteral(R"sql(
INSERT INTO paper (id, title, ParentPaperID, indexid, typeid, createtime, ModifyTime, ExtName, SizeByte, plaintext) VALUES
 ('a',   'Alpha',      '0',  1, 4,  '2026-12-01 00:00:00', '2026-12-10 08:00:00', '.txt',  500,     'the quick fox'),
 ('a1',  'Tom''s page','a',  1, 5,  '2026-12-04 23:59:59', '2026-12-05 00:00:00', '.htm',  2048,    'apostrophe page'),
 ('a2',  '',           'a',  2, 6,  '2026-12-05 00:00:00', '2026-12-04 23:59:59', '.mht',  5000,    NULL),
 ('a2x', '100% sure',  'a2', 1, 13, '2026-11-30 23:59:59', '2026-12-01 00:00:00', '.pdf',  1048576, 'percent'),
 ('b',   'Beta_1',     '0',  2, 0,  '2026-12-02 12:00:00', '2026-12-02 12:00:00', '.html', 0,       NULL),
 ('b1',  'Beta21',     'b',  1, 13, '2026-12-03 12:00:00', '2026-12-03 12:00:00', '.zip',  3000000, 'zipped'),
 ('c',   '',           '0',  3, 4,  '2026-12-06 12:00:00', '2026-12-06 12:00:00', '',      NULL,    '');
)sql");

} // namespace tallowmere::test
