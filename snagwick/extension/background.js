// Two entries in the page's context menu hand the page's address and title to
// the native host "snagwick.newnode", which passes them on to Tallowmere (and
// starts it when it is not running). One source for Chromium and Firefox.
"use strict";

const api = globalThis.browser ?? globalThis.chrome;
const HOST = "snagwick.newnode";

// The type code decides how the page is kept: 8 a single-file web archive,
// 7 the page's document with its text.
const ENTRIES = [
  {id: "snagwick-archive", title: "Save page to Tallowmere as a web archive", type: 8},
  {id: "snagwick-text", title: "Save page to Tallowmere with its text", type: 7},
];

function notify(message) {
  api.notifications.create({
    type: "basic",
    iconUrl: api.runtime.getURL("icons/48.png"),
    title: "Tallowmere",
    message,
  });
}

// Sends one capture to the host. Resolves to the host's answer, or to
// {error: ...} when the host is missing or refuses; the user is told either way.
async function capture(address, title, type) {
  let answer;
  try {
    answer = await api.runtime.sendNativeMessage(HOST, {list: [address, title], type});
  } catch (err) {
    const reason = err && err.message ? err.message : String(err);
    notify("The page could not be handed to Tallowmere: " + reason +
           ". Is Tallowmere installed with its browser bridge?");
    return {error: reason};
  }
  if (!answer || answer.error) {
    const reason = answer && answer.error ? answer.error : "no answer";
    notify("Tallowmere did not take the page: " + reason);
    return answer || {error: reason};
  }
  return answer;
}
globalThis.capture = capture;

function createEntries() {
  api.contextMenus.removeAll(() => {
    for (const e of ENTRIES)
      api.contextMenus.create({id: e.id, title: e.title, contexts: ["page", "frame", "selection", "link", "image"]});
  });
}
api.runtime.onInstalled.addListener(createEntries);
api.runtime.onStartup.addListener(createEntries);

// A page without a title is named by its host, which survives the cutting of
// titles at "/" and ":".
function fallbackTitle(address) {
  try {
    return new URL(address).hostname || address;
  } catch (e) {
    return address;
  }
}

api.contextMenus.onClicked.addListener(async (info, tab) => {
  const entry = ENTRIES.find((e) => e.id === info.menuItemId);
  if (!entry || !tab)
    return;
  // The click grants access to the page (activeTab), but the tab handed to
  // this listener was made before that: read it again for its title.
  let page = tab;
  try {
    page = await api.tabs.get(tab.id);
  } catch (e) {
    // keep what the listener was given
  }
  // The page itself, also when the click was on a frame inside it.
  const address = page.url || tab.url || info.pageUrl;
  capture(address, page.title || tab.title || fallbackTitle(address), entry.type);
});
