#pragma once
// A plain model of a combo box (items, selection, text) that the window mirrors, so every
// rule about what a profile or Start selects is decided here and tested without widgets.

#include <string>
#include <vector>

namespace quorvex {

struct ComboModel {
    std::vector<std::string> Items;
    int ItemIndex = -1;  // -1: nothing selected
    std::string Text;    // the shown text: the selected item, or what was typed (Editable)
    bool Editable = false;

    // Selects item `index`; an index the list doesn't hold leaves it without a selection
    // and without text, as a list shows nothing then.
    void SelectIndex(int index) {
        if (index >= 0 && static_cast<std::size_t>(index) < Items.size()) {
            ItemIndex = index;
            Text = Items[static_cast<std::size_t>(index)];
        } else {
            ItemIndex = -1;
            Text.clear();
        }
    }
};

}  // namespace quorvex
