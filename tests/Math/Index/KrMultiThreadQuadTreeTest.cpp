// Several threads querying one TKrMultiThreadQuadTree get the single-threaded answers.
#include "Math/Index/KrMultiThreadQuadTree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <random>
#include <thread>
#include <vector>

using namespace KrQuadTree;

TEST(KrMultiThreadQuadTree, ConcurrentQueriesGiveTheSingleThreadedAnswers) {
    std::mt19937_64 gen(11);
    std::uniform_real_distribution<double> pos(0, 1000), size(0, 5);
    TKrMultiThreadQuadTree tree;
    STreeOptions options;
    options.ObjectsReserve = 0;
    ASSERT_TRUE(tree.Init(vec2d(0, 0), vec2d(1000, 1000), &options));
    for (std::uint64_t i = 0; i < 50000; ++i) {
        const vec2d p(pos(gen), pos(gen));
        ASSERT_TRUE(tree.AddObject(i, p, vec2d(p.x + size(gen), p.y + size(gen))));
    }
    std::vector<std::pair<vec2d, vec2d>> queries;
    std::vector<std::vector<std::uint64_t>> expected;
    for (int n = 0; n < 400; ++n) {
        const vec2d p(pos(gen), pos(gen));
        queries.emplace_back(p, vec2d(p.x + 10 * size(gen), p.y + 10 * size(gen)));
        expected.emplace_back();
        tree.GetRect(queries.back().first, queries.back().second, expected.back());
    }

    constexpr int kThreads = 4;
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            std::vector<std::uint64_t> ids;
            SNodePath path;
            std::size_t count = 0;
            for (int round = 0; round < 5; ++round)
                for (std::size_t k = 0; k < queries.size(); ++k) {
                    const std::size_t n = (k * (2 * t + 1) + round) % queries.size(); // each its own order
                    if (t % 2) {
                        tree.GetRect(queries[n].first, queries[n].second, ids, path);
                        wrong += ids != expected[n];
                    } else {
                        tree.GetRect(limits2d(queries[n].first, queries[n].second), count, ids);
                        wrong += count != expected[n].size() ||
                                 !std::equal(expected[n].begin(), expected[n].end(), ids.begin());
                    }
                }
        });
    for (std::thread& t : threads)
        t.join();
    EXPECT_EQ(wrong.load(), 0);
}
