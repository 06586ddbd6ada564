#include "core/runstatistics.hpp"

#include <gtest/gtest.h>

#include <sstream>

using namespace RepositoryAccess;

TEST(RunStatistics, PrintsNonZeroCountersInTableOrderWithAlignedLabels) {
    runstatistics::reset();
    std::ostringstream anEmpty;
    runstatistics::print(anEmpty);
    EXPECT_EQ(anEmpty.str(), "");
    runstatistics::add(Statistic::updatedFiles, 3);
    runstatistics::add(Statistic::committedFiles);
    runstatistics::add(Statistic::committedFiles, 4000000000LL);
    runstatistics::add(Statistic::createdFiles, 0);
    std::ostringstream aSummary;
    runstatistics::print(aSummary);
    EXPECT_EQ(aSummary.str(), "Committed files              : 4000000001\n"
                              "Updated files                : 3\n");
    runstatistics::reset();
    EXPECT_EQ(runstatistics::get(Statistic::committedFiles), 0);
}
