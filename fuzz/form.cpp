// The form file, read from disk as the program reads it: a file is loaded or
// refused, never half; what is loaded keeps the tables' rules; and what the
// tables hold stays within a small multiple of the file's size.
#include "editor/form_loader.h"
#include "fuzz_support.h"
#include "input/form_tables_heap.h"

using namespace qp;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    fuzz::Scratch().Write("FORMS/QPLAYOUT.MPN", bytes);
    SystemPlatform platform;
    Translator translator(platform, fuzz::Scratch().Dir(), "CAT", "QPLAYOUT");
    FormTables tables;
    FormLoadResult result = LoadForm(platform, fuzz::Scratch().Dir(), "QPLAYOUT", translator, tables);
    if (!result.ok) {
        fuzz::Check(tables.screens.empty() && tables.lists.empty() && tables.ScreenCount == 0,
                    "a refused file left tables behind");
        fuzz::Check(!result.message.empty(), "a refusal without a reason");
        return 0;
    }
    fuzz::Check(tables.ScreenCount >= 1 && tables.MaxItems >= 1, "a header below its limits");
    fuzz::Check(tables.screens.size() == static_cast<std::size_t>(tables.ScreenCount), "screens missing");
    fuzz::Check(!tables.lists.empty(), "no list 0");
    for (const FormScreen& screen : tables.screens) {
        fuzz::Check(screen.ItemCount >= 0 && screen.ItemCount <= tables.MaxItems, "ItemCount beyond MaxItems");
        fuzz::Check(screen.items.size() == static_cast<std::size_t>(screen.ItemCount), "items other than ItemCount");
        fuzz::Check(screen.ParentScreen >= 0 && screen.ParentScreen <= tables.ScreenCount, "parent beyond the screens");
        for (const FormItem& item : screen.items) {
            fuzz::Check(item.Length >= 0 && item.Value.size() == static_cast<std::size_t>(item.Length),
                        "a value other than Length wide");
            fuzz::Check(item.ListNo >= 0 && static_cast<std::size_t>(item.ListNo) < tables.lists.size(),
                        "an item opens a list that does not exist");
        }
    }
    fuzz::Check(testing::HeapBytes(tables) <= 64 * size + (2u << 20), "the tables are out of proportion to the file");
    return 0;
}
