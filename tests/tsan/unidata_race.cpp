// Concurrent first calls of xrzsu8IsCombining: each may load the Unicode-data
// extension and store it into the NLS extension, with no lock. Built with
// ThreadSanitizer, which fails the run on any data race.
#include <atomic>
#include <cstdio>
#include <thread>
#include <vector>

#include "xr/xrentry.h"
#include "xr/xrhost.h"
#include "xr/xrutf8.h"

namespace {

std::atomic<int> loads{0};
XR_EXT_S unidata{};
XRNLS_EXT_S nls{};
XR_HNDL_S host{};

XRExtensionh loadExtension(XRHndlp, const char*, XRMemSize, XRJnlh) {
    loads.fetch_add(1, std::memory_order_relaxed);
    return &unidata;
}

XRBoolean isCategory(XRExtensionh, XRChar c, XRUnidataGC mask) {
    return c == 0x301 && mask == 0x38;
}

} // namespace

int main() {
    host.loadExtension = loadExtension;
    host.xrnls = &nls.ext;
    nls.ext.hndl = &host;
    nls.charIsCategory = isCategory;
    xrextent(&host);

    constexpr int kThreads = 4, kRounds = 200;
    int failures = 0;
    for (int round = 0; round < kRounds; ++round) {
        nls.unidataExt = nullptr; // no thread runs here: the next round starts afresh
        std::atomic<int> ready{0};
        std::atomic<int> wrong{0};
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t)
            threads.emplace_back([&] {
                ready.fetch_add(1);
                while (ready.load() < kThreads) {
                }
                std::uint8_t acute[] = {0xCC, 0x81}, a[] = {0x61};
                for (int i = 0; i < 20; ++i)
                    if (xrzsu8IsCombining(acute) != 1 || xrzsu8IsCombining(a) != 0)
                        wrong.fetch_add(1);
            });
        for (auto& th : threads)
            th.join();
        if (wrong.load() != 0 || nls.unidataExt != &unidata) ++failures;
    }
    const int total = loads.load();
    std::printf("%d rounds, %d loads of xrnlsudb, %d failures\n", kRounds, total, failures);
    return failures == 0 && total >= kRounds && total <= kRounds * kThreads ? 0 : 1;
}
