#include <ZuzizavAdiduDazorud/DataStructure/Field.h>

#include <gtest/gtest.h>

using namespace ZuzizavAdiduDazorud;

TEST(FieldIndex, FlatListSemantics) {
    FieldIndex index;
    EXPECT_TRUE(index.empty());
    for (std::size_t i = 0; i < fieldCount; ++i) index.set(static_cast<Field>(i), i * 2);  // past the inline part
    index.set(Field::padding, 7);                                                            // overwrite, no new entry
    EXPECT_EQ(index.size(), fieldCount);
    EXPECT_EQ(index[Field::srcmac], 0u);
    EXPECT_EQ(index[Field::padding], 7u);
    EXPECT_EQ(index[Field::groupRecords], (fieldCount - 1) * 2);
    // Cleared, its entries past the inline ones stay gone in it and in its copies, also once it fills again.
    index.clear();
    index.set(Field::ttl, 1);
    EXPECT_EQ(FieldIndex(index).size(), 1u);
    for (std::size_t i = 0; i < 9; ++i) index.set(static_cast<Field>(i), i);
    EXPECT_EQ(index.size(), 10u);
    EXPECT_FALSE(index.contains(Field::groupRecords));
    FieldIndex a, b;
    a.set(Field::ttl, 1);
    a.set(Field::ihl, 2);
    b.set(Field::ihl, 2);
    b.set(Field::ttl, 1);
    EXPECT_EQ(a, b);
    b.set(Field::ttl, 3);
    EXPECT_FALSE(a == b);
}

// A layout behaves as markField() one field at a time, on the fast path (fresh index) and off it.
namespace {

struct Marked {
    FieldIndex startIndex;
    FieldIndex endIndex;
};

template <std::size_t N>
Marked markedOneByOne(const FieldLayout<N>& layout, std::size_t base, std::size_t end) {
    Marked marked;
    for (const auto& span : layout.spans) {
        markField(marked, span.field, base + span.from, span.to == toEnd ? end : base + span.to);
    }
    return marked;
}

constexpr auto three = fieldLayout({{Field::version, 0, 1}, {Field::ttl, 8, 9}, {Field::payload, 12, toEnd}});
constexpr auto repeated = fieldLayout({{Field::ttl, 0, 1}, {Field::ttl, 8, 9}});
constexpr auto seventeen = fieldLayout({
    {Field::srcmac, 0, 1}, {Field::dstmac, 1, 2}, {Field::ethertype, 2, 3}, {Field::ieeeLength, 3, 4},
    {Field::ieeeDsap, 4, 5}, {Field::ieeeSsap, 5, 6}, {Field::ieeeControl, 6, 7}, {Field::snapOrg, 7, 8},
    {Field::snapType, 8, 9}, {Field::etherType, 9, 10}, {Field::padding, 10, 11}, {Field::hardwareType, 11, 12},
    {Field::protocolType, 12, 13}, {Field::hardwareSize, 13, 14}, {Field::protocolSize, 14, 15},
    {Field::operation, 15, 16}, {Field::ttl, 16, 17},
});

}  // namespace

TEST(FieldIndex, LayoutMarksMatchSingleMarks) {
    {  // fresh
        Marked batch;
        markLayout(batch, three, 14, 60);
        const Marked one = markedOneByOne(three, 14, 60);
        EXPECT_EQ(batch.startIndex, one.startIndex);
        EXPECT_EQ(batch.endIndex, one.endIndex);
        EXPECT_EQ(batch.startIndex[Field::payload], 26u);
        EXPECT_EQ(batch.endIndex[Field::payload], 60u);
    }
    {  // already holding one of the fields: overwritten, not repeated
        Marked batch;
        markField(batch, Field::ttl, 1, 2);
        markLayout(batch, three, 14, 60);
        EXPECT_EQ(batch.startIndex.size(), 3u);
        EXPECT_EQ(batch.startIndex[Field::ttl], 22u);
    }
    {  // the same field twice: the last wins
        Marked batch;
        markLayout(batch, repeated, 0, 0);
        EXPECT_EQ(batch.startIndex.size(), 1u);
        EXPECT_EQ(batch.endIndex[Field::ttl], 9u);
    }
    {  // marked after the layout: the later mark wins, in the index and in its copies
        Marked batch;
        markLayout(batch, three, 14, 60);
        markField(batch, Field::ttl, 40, 41);
        const Marked copy = batch;
        EXPECT_EQ(copy.startIndex.size(), 3u);
        EXPECT_EQ(copy.startIndex[Field::ttl], 40u);
        EXPECT_EQ(copy.endIndex[Field::payload], 60u);
        EXPECT_EQ(copy.startIndex, batch.startIndex);
    }
    {  // more than fit inline
        Marked batch;
        markLayout(batch, seventeen, 100, 200);
        const Marked one = markedOneByOne(seventeen, 100, 200);
        EXPECT_EQ(batch.startIndex.size(), 17u);
        EXPECT_EQ(batch.startIndex, one.startIndex);
        EXPECT_EQ(batch.endIndex, one.endIndex);
    }
}
