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
    ASSERT_TRUE(tree.Init(vec2d(0, 0), vec2d(1000, 1000)));
    for (std::uint64_t i = 0; i < 50000; ++i) {
        const vec2d p(pos(gen), pos(gen));
        ASSERT_TRUE(tree.AddObject(i, p, vec2d(p.x + size(gen), p.y + size(gen))));
    }
    std::vector<limits2d> queries;
    std::vector<std::vector<std::uint64_t>> expected(400);
    for (auto& e : expected) {
        const vec2d p(pos(gen), pos(gen));
        queries.emplace_back(p, vec2d(p.x + 10 * size(gen), p.y + 10 * size(gen)));
        tree.GetRect(queries.back().min, queries.back().max, e);
    }
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (std::size_t t = 0; t < 4; ++t)
        threads.emplace_back([&, t] { // each thread in its own order, half of them with their own path
            std::vector<std::uint64_t> ids;
            SNodePath path;
            std::size_t count = 0;
            for (std::size_t k = 0; k < 5 * queries.size(); ++k) {
                const std::size_t n = (k * (2 * t + 1) + k / queries.size()) % queries.size();
                if (t % 2) {
                    tree.GetRect(queries[n].min, queries[n].max, ids, path);
                    count = ids.size();
                } else {
                    tree.GetRect(queries[n], count, ids);
                }
                wrong += count != expected[n].size() ||
                         !std::equal(expected[n].begin(), expected[n].end(), ids.begin());
            }
        });
    for (std::thread& t : threads)
        t.join();
    EXPECT_EQ(wrong.load(), 0);
}
