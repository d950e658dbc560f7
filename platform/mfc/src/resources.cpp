// The resource tables that modules add while they are loaded; look-ups search the newest first.
#include <algorithm>

#include "model.h"

void AfxAddResourceTable(const AfxResourceTable* table) {
    if (table)
        AfxModel::State().resources.push_back(table);
}

void AfxRemoveResourceTable(const AfxResourceTable* table) {
    auto& list = AfxModel::State().resources;
    list.erase(std::remove(list.begin(), list.end(), table), list.end());
}

const AfxDlgTemplate* AfxFindDialogTemplate(UINT id) {
    const auto& list = AfxModel::State().resources;
    for (auto it = list.rbegin(); it != list.rend(); ++it)
        for (std::size_t i = 0; (*it)->dialogs && i < (*it)->dialogCount; ++i)
            if ((*it)->dialogs[i].id == id)
                return &(*it)->dialogs[i];
    return nullptr;
}

const AfxBitmapResource* AfxFindBitmap(UINT id) {
    const auto& list = AfxModel::State().resources;
    for (auto it = list.rbegin(); it != list.rend(); ++it)
        for (std::size_t i = 0; (*it)->bitmaps && i < (*it)->bitmapCount; ++i)
            if ((*it)->bitmaps[i].id == id)
                return &(*it)->bitmaps[i];
    return nullptr;
}
