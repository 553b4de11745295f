// A path survives the settings interfaces as a normalised string item.
#include "System/KrPathXIni.h"
#include "XIni/KrXIniFakes.h"
#include "XIni/KrXIniTreeReader.h"

#include <gtest/gtest.h>

TEST(KrPathXIni, SavedAsTextAndLoadedNormalised) {
    krtest::TRecordingWriter writer;
    XIniSaveSE(&writer, "input", TKrPath("/data//images/./a.tif"));
    ASSERT_EQ(writer.calls.size(), 1u);
    EXPECT_EQ(writer.calls[0], "string input=" + TKrPath("/data//images/./a.tif").str());
    writer.failing = true;
    EXPECT_THROW(XIniSaveSE(&writer, "input", TKrPath("/x")), TKrMessage);

    auto tree = new_a<TKrXIniTree>();
    tree->AddItem(TE_KrXIniItemType::String, "input", "/data//images/a.tif");
    tree->AddItem(TE_KrXIniItemType::Integer, "count", "3");
    TKrXIniTreeReader reader(tree);
    TKrPath loaded;
    XIniLoadSE(&reader, "input", loaded);
    EXPECT_EQ(loaded, TKrPath("/data/images/a.tif"));
    EXPECT_EQ(reader.Read<TKrPath>(0, TKrPath()).str(), loaded.str());
    EXPECT_EQ(reader.Read<TKrPath>(1, TKrPath("/fallback")).str(), TKrPath("/fallback").str());
    EXPECT_THROW(reader.ReadE<TKrPath>(1), TKrMessage);
    TKrPath missing("/kept");
    EXPECT_FALSE(XIniLoadS(&reader, "absent", missing, TKrPath("/default")));
    EXPECT_EQ(missing.str(), TKrPath("/default").str());
}
