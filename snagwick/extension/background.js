// The capture entries of the page's context menu. Each hands the page's address
// and title with a requested type code to the native host "snagwick.newnode":
// 7 keeps the page's document and text, 8 a single-file archive of the page.
// Chromium and Firefox both offer the callback form under "chrome".
const api = chrome;

const entries = [
  {id: "tallowmere-page", title: "Add page to Tallowmere", type: 7},
  {id: "tallowmere-archive", title: "Add page to Tallowmere as archive", type: 8},
];

api.runtime.onInstalled.addListener(() => {
  for (const e of entries)
    api.contextMenus.create({id: e.id, title: e.title, contexts: ["page"]});
});

api.contextMenus.onClicked.addListener((info, tab) => {
  const entry = entries.find((e) => e.id === info.menuItemId);
  if (!entry || !tab)
    return;
  const message = {list: [tab.url, tab.title || tab.url], type: entry.type};
  api.runtime.sendNativeMessage("snagwick.newnode", message, (answer) => {
    if (api.runtime.lastError || !answer || answer.error)
      console.warn("Tallowmere did not take the page:", api.runtime.lastError || (answer && answer.error));
  });
});
