// Saving and loading a TKrXIniTree through the abstract XIni writer and reader.
#include "XIni/KrXIniSerialize.h"
#include "XIni/KrXIniInternal.h"

void XIniSaveE(TKrXIniWriter* writer, const TKrXIniTree& tree) {
    writer->MergeXIniE(&tree);
}

void XIniLoadE(TKrXIniReader* reader, std::size_t index, TKrXIniTree& tree) {
    var_a<TKrXIniTree*> loaded = reader->ReadXIniTreeE(index);
    if (!loaded) KrXIniInternal::throw_xread_error();
    if (loaded.use_count() == 1)
        tree = std::move(*loaded); // nobody else sees the new tree: take its items over
    else
        tree = *loaded;
}
