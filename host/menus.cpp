// The host's menus: a model built through MakeMenu and friends, shown as a real popup menu.
#include "menus.h"

#include <windows.h>

#include <map>
#include <set>

#include "host.h"

namespace host {
namespace {

std::set<Menu*> live;
MenuTree lastShown;
bool interactive = false;

bool isLive(Menu* menu)
{
    return menu && live.count(menu) > 0;
}

MenuItem* addItem(Menu* menu, const char* caption, const char* command, Menu* submenu)
{
    auto item = std::make_unique<MenuItem>();
    item->caption = caption ? caption : "";
    item->command = command ? command : "";
    item->isSubmenu = submenu != nullptr;
    item->submenu = submenu;
    menu->items.push_back(std::move(item));
    return menu->items.back().get();
}

// Appends menu to the tree once, so shared and cyclic submenus cannot recurse forever.
int snapshot(Menu* menu, MenuTree& tree, std::map<Menu*, int>& index)
{
    auto known = index.find(menu);
    if (known != index.end()) return known->second;
    int at = static_cast<int>(tree.menus.size());
    index[menu] = at;
    tree.menus.push_back(MenuModel{menu->title, {}});
    std::vector<MenuEntry> entries;
    for (const auto& item : menu->items) {
        MenuEntry entry;
        entry.caption = item->caption;
        entry.command = item->command;
        entry.checked = item->checked;
        if (isLive(item->submenu)) entry.submenu = snapshot(item->submenu, tree, index);
        entries.push_back(entry);
    }
    tree.menus[at].entries = std::move(entries);
    return at;
}

// Builds a popup menu; command ids are 1-based indexes into commands.
HMENU buildPopup(Menu* menu, std::vector<std::string>& commands, std::set<Menu*>& path)
{
    HMENU popup = CreatePopupMenu();
    if (!popup) return nullptr;
    path.insert(menu);
    for (const auto& item : menu->items) {
        const char* caption = item->caption.c_str();
        if (!item->isSubmenu) {
            commands.push_back(item->command);
            AppendMenuA(popup, MF_STRING | (item->checked ? MF_CHECKED : 0), commands.size(), caption);
            continue;
        }
        HMENU sub = isLive(item->submenu) && !path.count(item->submenu) ? buildPopup(item->submenu, commands, path) : nullptr;
        if (!sub) {
            AppendMenuA(popup, MF_STRING | MF_GRAYED, 0, caption);
        } else if (!AppendMenuA(popup, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(sub), caption)) {
            DestroyMenu(sub);
        }
    }
    path.erase(menu);
    return popup;
}

void popUp(Menu* menu)
{
    std::vector<std::string> commands;
    std::set<Menu*> path;
    HMENU popup = buildPopup(menu, commands, path);
    if (!popup) return;
    HWND owner = mainWindow();
    POINT cursor = {};
    GetCursorPos(&cursor);
    // Without the foreground the menu would not close when the user clicks elsewhere.
    SetForegroundWindow(owner);
    UINT chosen = static_cast<UINT>(TrackPopupMenu(popup, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY,
                                                   cursor.x, cursor.y, 0, owner, nullptr));
    PostMessageA(owner, WM_NULL, 0, 0);
    DestroyMenu(popup);
    if (chosen >= 1 && chosen <= commands.size()) broadcast(commands[chosen - 1].c_str());
}

}  // namespace

Menu* makeMenu(const char* title)
{
    Menu* menu = new Menu;
    menu->title = title ? title : "";
    live.insert(menu);
    return menu;
}

MenuItem* makeMenuItem(Menu* menu, const char* caption, const char* command, bool checked)
{
    if (!isLive(menu)) return nullptr;
    MenuItem* item = addItem(menu, caption, command, nullptr);
    item->checked = checked;
    return item;
}

MenuItem* makeSubmenu(Menu* menu, Menu* submenu, const char* caption)
{
    if (!isLive(menu) || !isLive(submenu)) return nullptr;
    return addItem(menu, caption, nullptr, submenu);
}

void showMenu(Menu* menu)
{
    if (!isLive(menu)) return;
    MenuTree tree;
    std::map<Menu*, int> index;
    snapshot(menu, tree, index);
    lastShown = tree;
    if (interactive) popUp(menu);
}

void deleteMenu(Menu* menu)
{
    if (!isLive(menu)) return;
    std::vector<Menu*> doomed = {menu};
    live.erase(menu);
    for (size_t i = 0; i < doomed.size(); ++i) {
        for (const auto& item : doomed[i]->items) {
            if (isLive(item->submenu)) {
                live.erase(item->submenu);
                doomed.push_back(item->submenu);
            }
        }
    }
    // A menu that survives must not point at a freed submenu.
    for (Menu* survivor : live) {
        for (const auto& item : survivor->items) {
            for (Menu* gone : doomed) {
                if (item->submenu == gone) item->submenu = nullptr;
            }
        }
    }
    for (Menu* gone : doomed) delete gone;
}

void deleteAllMenus()
{
    for (Menu* menu : live) delete menu;
    live.clear();
    lastShown = MenuTree{};
}

MenuTree lastShownMenu()
{
    return lastShown;
}

int liveMenus()
{
    return static_cast<int>(live.size());
}

void setInteractiveMenus(bool on)
{
    interactive = on;
}

}  // namespace host
