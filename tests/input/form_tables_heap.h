// What form tables keep on the heap, roughly: enough to tell kilobytes from
// gigabytes, for a small form file must not ask for large tables.
#pragma once

#include <cstddef>

#include "input/form_tables.h"

namespace qp::testing {

inline std::size_t HeapBytes(const FormTables& tables) {
    std::size_t bytes = tables.screens.capacity() * sizeof(FormScreen) + tables.lists.capacity() * sizeof(FormList);
    for (const FormScreen& screen : tables.screens) {
        bytes += screen.items.capacity() * sizeof(FormItem) + screen.ScreenExitKeys.capacity();
        for (const FormItem& item : screen.items)
            bytes += item.Label.capacity() + item.Options.capacity() + item.Value.capacity();
    }
    for (const FormList& list : tables.lists) bytes += list.Title.capacity();
    return bytes;
}

}  // namespace qp::testing
