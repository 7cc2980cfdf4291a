// The pread source must behave exactly as qpdf's own file source does, or
// qpdf's parser and its recovery of damaged files would read differently.
#include "testkit/TestDirs.h"

#include "engine/pdf/FdInputSource.h"

#include <gtest/gtest.h>
#include <qpdf/FileInputSource.hh>

#include <fcntl.h>
#include <random>

namespace fb::test {
namespace {

TEST(FdInputSource, ReadsSeeksAndFindsLineEndsAsQpdfsFileSourceDoes)
{
    TempDir dir;
    // Runs of CR and LF, some across the 16 KiB window's edges, and a file
    // that ends in a line end.
    std::string bytes;
    std::mt19937 random(7);
    while (bytes.size() < 40000) {
        bytes.append(random() % 300, 'x');
        bytes.append(1 + random() % 3, "\r\n"[random() % 2]);
    }
    bytes.replace(16380, 8, "ab\r\n\r\ncd");
    bytes += "\r\n";
    const std::string path = dir / "bytes.bin";
    writeFileBytes(path, bytes);

    FileInputSource theirs(path.c_str());
    fb::pdf::FdInputSource ours(path, ::open(path.c_str(), O_RDONLY));
    const qpdf_offset_t size = static_cast<qpdf_offset_t>(bytes.size());
    for (int step = 0; step < 4000; ++step) {
        const int what = static_cast<int>(random() % 6);
        if (what == 0) {
            const qpdf_offset_t to = static_cast<qpdf_offset_t>(random() % (bytes.size() + 20));
            theirs.seek(to, SEEK_SET);
            ours.seek(to, SEEK_SET);
        } else if (what == 1) {
            const qpdf_offset_t back = -static_cast<qpdf_offset_t>(random() % 50);
            theirs.seek(back, SEEK_END);
            ours.seek(back, SEEK_END);
        } else if (what == 2) {
            ASSERT_EQ(ours.findAndSkipNextEOL(), theirs.findAndSkipNextEOL()) << step;
        } else if (what == 3) {
            const std::size_t n = random() % 2 ? random() % 40 : 20000 + random() % 5000;
            std::string a(n, '\0'), b(n, '\0');
            const std::size_t got = ours.read(a.data(), n);
            ASSERT_EQ(got, theirs.read(b.data(), n)) << step;
            ASSERT_EQ(a.substr(0, got), b.substr(0, got)) << step;
            ASSERT_EQ(ours.getLastOffset(), theirs.getLastOffset()) << step;
        } else if (what == 4 && theirs.tell() > 0 && theirs.tell() <= size) {
            char c = 0;
            if (theirs.read(&c, 1) == 1 && ours.read(&c, 1) == 1) {
                theirs.unreadCh(c);
                ours.unreadCh(c);
            }
        } else {
            // As qpdf's tokenizer reads: from the position on, then back to
            // where the token ended.
            ASSERT_EQ(ours.fastTell(), theirs.fastTell()) << step;
            for (int k = static_cast<int>(random() % 300); k > 0; --k) {
                char a = 0, b = 0;
                const bool more = ours.fastRead(a);
                ASSERT_EQ(more, theirs.fastRead(b)) << step;
                ASSERT_EQ(a, b) << step;
                if (!more) break;
            }
            ASSERT_EQ(ours.getLastOffset(), theirs.getLastOffset()) << step;
            const bool back = ours.getLastOffset() > 0 && random() % 2;
            ours.fastUnread(back);
            theirs.fastUnread(back);
        }
        ASSERT_EQ(ours.tell(), theirs.tell()) << "after step " << step << " (" << what << ")";
    }
    EXPECT_THROW(ours.seek(-1, SEEK_SET), std::exception);
}

} // namespace
} // namespace fb::test
