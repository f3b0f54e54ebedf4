// The RIFF chunk reader: finding the RIFF chunk, finding chunks by id inside
// it (with word alignment), reading and ascending, on images built in memory.

#include <gtest/gtest.h>

#include "wave/riff_reader.h"
#include "wave_builder.h"

namespace quorvant {
namespace {

using test::Bytes;
using test::Chunk;
using test::Riff;

uint32_t Id(const char* text) { return ReadLE32(reinterpret_cast<const uint8_t*>(text)); }

struct Walk {
    explicit Walk(Bytes image) : bytes(std::move(image)), source(bytes), reader(source) {}
    Bytes bytes;
    MemorySource source;
    RiffReader reader;
    ChunkInfo riff;
};

TEST(StringToFourCC, PadsWithBlanksAndKeepsCase)
{
    EXPECT_EQ(StringToFourCC("fmt"), Id("fmt "));
    EXPECT_EQ(StringToFourCC("fmt "), Id("fmt "));
    EXPECT_EQ(StringToFourCC("data"), Id("data"));
    EXPECT_EQ(StringToFourCC("ab"), Id("ab  "));
    EXPECT_EQ(StringToFourCC(""), Id("    "));
    EXPECT_EQ(StringToFourCC("Fmt"), Id("Fmt "));
    EXPECT_NE(StringToFourCC("FMT"), Id("fmt "));
}

TEST(RiffReader, FindsRiffChunkOfAnyFormType)
{
    for (const char* form : {"WAVE", "AVI ", "RMID", "\0\0\0\1"}) {
        SCOPED_TRACE(form);
        Walk w(Riff({Chunk("fmt ", Bytes(16, 1))}, form));
        ASSERT_TRUE(w.reader.descendRiff(w.riff));
        EXPECT_EQ(w.riff.ckid, Id("RIFF"));
        EXPECT_EQ(w.riff.fccType, Id(form));
        EXPECT_EQ(w.riff.cksize, 4u + 8u + 16u);
        EXPECT_EQ(w.riff.dataOffset, 8u);
        EXPECT_EQ(w.reader.position(), 12u);
    }
}

TEST(RiffReader, FindsChunkByIdSkippingOthers)
{
    Walk w(Riff({Chunk("JUNK", Bytes(10, 0xEE)), Chunk("fmt ", Bytes(16, 2)), Chunk("LIST", Bytes(26, 0x55)),
                 Chunk("data", Bytes{1, 2, 3, 4}), Chunk("afte", Bytes(6, 9))}));
    ASSERT_TRUE(w.reader.descendRiff(w.riff));

    ChunkInfo fmt;
    fmt.ckid = StringToFourCC("fmt");
    ASSERT_TRUE(w.reader.descendChunk(fmt, w.riff));
    EXPECT_EQ(fmt.cksize, 16u);
    EXPECT_EQ(fmt.dataOffset, 12u + 18u + 8u);
    EXPECT_EQ(w.reader.position(), fmt.dataOffset);
    ASSERT_TRUE(w.reader.ascend(fmt));
    EXPECT_EQ(w.reader.position(), fmt.dataOffset + 16);

    ChunkInfo data;
    data.ckid = StringToFourCC("data");
    ASSERT_TRUE(w.reader.descendChunk(data, w.riff));
    EXPECT_EQ(data.cksize, 4u);
    EXPECT_EQ(data.dataOffset, fmt.dataOffset + 16 + 8 + 26 + 8);
    uint8_t got[4] = {};
    EXPECT_EQ(w.reader.read(got, 4), 4u);
    EXPECT_EQ(Bytes(got, got + 4), (Bytes{1, 2, 3, 4}));
    EXPECT_EQ(w.reader.position(), data.dataOffset + 4);
}

TEST(RiffReader, SearchRunsForwardOnly)
{
    // Once past "data", an earlier "fmt " is not found again.
    Walk w(Riff({Chunk("fmt ", Bytes(16, 2)), Chunk("data", Bytes(4, 0))}));
    ASSERT_TRUE(w.reader.descendRiff(w.riff));
    ChunkInfo data;
    data.ckid = StringToFourCC("data");
    ASSERT_TRUE(w.reader.descendChunk(data, w.riff));
    ASSERT_TRUE(w.reader.ascend(data));
    ChunkInfo fmt;
    fmt.ckid = StringToFourCC("fmt");
    EXPECT_FALSE(w.reader.descendChunk(fmt, w.riff));
}

TEST(RiffReader, SkipsPadByteAfterOddChunk)
{
    // Two odd chunks in a row: each is followed by a pad byte that the walk must step over.
    Walk w(Riff({Chunk("odd1", Bytes{7, 7, 7}), Chunk("odd2", Bytes{8}), Chunk("data", Bytes{5, 6})}));
    ASSERT_TRUE(w.reader.descendRiff(w.riff));
    ChunkInfo data;
    data.ckid = StringToFourCC("data");
    ASSERT_TRUE(w.reader.descendChunk(data, w.riff));
    EXPECT_EQ(data.dataOffset, 12u + (8 + 4) + (8 + 2) + 8);
    EXPECT_EQ(data.cksize, 2u);
}

TEST(RiffReader, AscendFromOddChunkPassesThePadByte)
{
    Walk w(Riff({Chunk("fmt ", Bytes(17, 3)), Chunk("data", Bytes{5, 6})}));
    ASSERT_TRUE(w.reader.descendRiff(w.riff));
    ChunkInfo fmt;
    fmt.ckid = StringToFourCC("fmt");
    ASSERT_TRUE(w.reader.descendChunk(fmt, w.riff));
    EXPECT_EQ(fmt.cksize, 17u);
    ASSERT_TRUE(w.reader.ascend(fmt));
    EXPECT_EQ(w.reader.position(), fmt.dataOffset + 18);

    ChunkInfo data;
    data.ckid = StringToFourCC("data");
    ASSERT_TRUE(w.reader.descendChunk(data, w.riff));
    EXPECT_EQ(data.dataOffset, fmt.dataOffset + 18 + 8);
}

TEST(RiffReader, ChunkBeyondDeclaredRiffEndIsNotFound)
{
    // The RIFF chunk declares only its form type and "fmt "; a "data" chunk follows outside it.
    Bytes fmtChunk = Chunk("fmt ", Bytes(16, 2));
    Bytes image = Riff({fmtChunk}, "WAVE", int64_t(4 + fmtChunk.size()));
    Bytes data = Chunk("data", Bytes(4, 1));
    image.insert(image.end(), data.begin(), data.end());

    Walk w(image);
    ASSERT_TRUE(w.reader.descendRiff(w.riff));
    ChunkInfo fmt;
    fmt.ckid = StringToFourCC("fmt");
    ASSERT_TRUE(w.reader.descendChunk(fmt, w.riff));
    ASSERT_TRUE(w.reader.ascend(fmt));
    ChunkInfo dataInfo;
    dataInfo.ckid = StringToFourCC("data");
    EXPECT_FALSE(w.reader.descendChunk(dataInfo, w.riff));
}

TEST(RiffReader, TruncatedRiffHeadersAreNotFound)
{
    const Bytes cases[] = {
        {},
        {'R', 'I', 'F'},
        {'R', 'I', 'F', 'F', 20, 0, 0},     // size cut short
        {'R', 'I', 'F', 'F', 20, 0, 0, 0},  // no form type
        {'R', 'I', 'F', 'F', 20, 0, 0, 0, 'W', 'A'},
        {'L', 'I', 'S', 'T', 4, 0, 0, 0, 'I', 'N', 'F', 'O'},  // a chunk, but no RIFF one
    };
    for (const auto& bytes : cases) {
        SCOPED_TRACE(testing::PrintToString(bytes));
        Walk w(bytes);
        EXPECT_FALSE(w.reader.descendRiff(w.riff));
    }
}

TEST(RiffReader, TruncatedChunkHeaderIsNotFound)
{
    // The RIFF chunk claims room for more, but the file ends inside the next chunk header.
    Bytes image = Riff({Chunk("fmt ", Bytes(16, 2))}, "WAVE", 100);
    for (std::size_t extra : {0u, 3u, 7u}) {
        SCOPED_TRACE(extra);
        Bytes bytes = image;
        const char partial[] = "dataXXXX";
        bytes.insert(bytes.end(), partial, partial + extra);
        Walk w(bytes);
        ASSERT_TRUE(w.reader.descendRiff(w.riff));
        ChunkInfo data;
        data.ckid = StringToFourCC("data");
        EXPECT_FALSE(w.reader.descendChunk(data, w.riff));
    }
}

TEST(RiffReader, AscendFailsWhenChunkRunsPastInput)
{
    // "fmt " declares 100 bytes; the file holds 16 of them.
    Bytes body(16, 2);
    Walk w(Riff({Chunk("fmt ", body, 100)}));
    ASSERT_TRUE(w.reader.descendRiff(w.riff));
    ChunkInfo fmt;
    fmt.ckid = StringToFourCC("fmt");
    ASSERT_TRUE(w.reader.descendChunk(fmt, w.riff));
    EXPECT_EQ(fmt.cksize, 100u);
    EXPECT_FALSE(w.reader.ascend(fmt));
}

TEST(RiffReader, ReadIsShortOnlyAtEndOfInput)
{
    Walk w(Riff({Chunk("data", Bytes{1, 2, 3})}, "WAVE"));
    ASSERT_TRUE(w.reader.descendRiff(w.riff));
    ChunkInfo data;
    data.ckid = StringToFourCC("data");
    ASSERT_TRUE(w.reader.descendChunk(data, w.riff));
    uint8_t got[8] = {};
    // Three sample bytes and the pad byte remain in the image.
    EXPECT_EQ(w.reader.read(got, sizeof got), 4u);
    EXPECT_EQ(Bytes(got, got + 4), (Bytes{1, 2, 3, 0}));
    EXPECT_EQ(w.reader.read(got, sizeof got), 0u);
}

}  // namespace
}  // namespace quorvant
