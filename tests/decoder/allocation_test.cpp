// Refilling the table on every keystroke must not allocate per accepted line: the table owns
// all its storage from the start.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "decoder/log_scan.h"
#include "test_lines.h"

namespace {
std::atomic<long> allocations{0};
}

void* operator new(std::size_t size) {
    ++allocations;
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

namespace orvalin {
namespace {

long allocationsDuringScan(const QString& text, RecordTable& table) {
    const long before = allocations.load();
    scanLogText(text, table);
    return allocations.load() - before;
}

TEST(ScanAllocation, NoneWhileRefillingTheTable) {
    QString text;
    for (int i = 0; i < 1000; ++i) text += test::WorkedLine + QStringLiteral("\r\nnoise line\r\n");
    RecordTable table;
    scanLogText(text, table);  // first use of anything lazily built
    EXPECT_EQ(allocationsDuringScan(text, table), 0);
    EXPECT_EQ(table.count(), 1000);
}

}  // namespace
}  // namespace orvalin
