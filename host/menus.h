// The host's menus: a model built through MakeMenu and friends, shown as a real popup menu.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "duskwell_api.h"

struct MenuItem {
    std::string caption;
    std::string command;
    bool checked = false;
    bool isSubmenu = false;
    Menu* submenu = nullptr;  // null for a command item, or once the submenu was freed
};

struct Menu {
    std::string title;
    std::vector<std::unique_ptr<MenuItem>> items;
};

namespace host {

Menu* makeMenu(const char* title);
MenuItem* makeMenuItem(Menu* menu, const char* caption, const char* command, bool checked);
MenuItem* makeSubmenu(Menu* menu, Menu* submenu, const char* caption);
void showMenu(Menu* menu);
// Frees the menu and the submenus reachable from it; unknown or already freed menus are ignored.
void deleteMenu(Menu* menu);
void deleteAllMenus();

}  // namespace host
