// Result labels and ratings in an English (United States) and a German locale. Wine takes the
// locale from LC_ALL; each group skips itself in the other locale.
#include <cmath>
#include <limits>
#include <map>

#include "engine/EngineIds.h"
#include "engine/EngineState.h"
#include "engine/ResultDisplay.h"
#include "tests/engine/EngineTestSupport.h"

namespace engine_test {
namespace {

namespace ids = engine_ids;

constexpr LCID kEnglishUnitedStates = 0x0409;
constexpr LCID kGerman = 0x0407;

const int kSpeedLabels[] = {ids::kSequentialReadLabel, ids::kSequentialWriteLabel, ids::kParallelReadLabel,
                            ids::kParallelWriteLabel,  ids::kRandom4kReadLabel,    ids::kRandom4kWriteLabel,
                            ids::kRandom1kReadLabel,   ids::kRandom1kWriteLabel};

class ResultLabels : public EngineTest {
protected:
    void SetUp() override {
        if (!userLocaleIs(kEnglishUnitedStates)) {
            GTEST_SKIP() << "needs an English (United States) user locale";
        }
        EngineTest::SetUp();
    }
    std::wstring label(int id) const { return dialog->text(id); }
};

class ResultLabelsGerman : public ResultLabels {
protected:
    void SetUp() override {
        if (!userLocaleIs(kGerman)) {
            GTEST_SKIP() << "needs a German user locale (LC_ALL=de_DE.UTF-8 under Wine)";
        }
        EngineTest::SetUp();
    }
};

TEST_F(ResultLabels, AllZeroShowsZeroSpeedsHyphensAndZeroRatings) {
    refreshResultLabels();
    for (int id : kSpeedLabels) {
        EXPECT_EQ(label(id), L"0.00 GB/s ") << id;
    }
    EXPECT_EQ(label(ids::kAccessReadLabel), L"------ ");
    EXPECT_EQ(label(ids::kAccessWriteLabel), L"------ ");
    EXPECT_EQ(label(ids::kReadRatingLabel), L"0.0");
    EXPECT_EQ(label(ids::kWriteRatingLabel), L"0.0");
    EXPECT_EQ(label(ids::kTotalRatingLabel), L"0.0");
}

TEST_F(ResultLabels, SequentialReadAloneRatesWithoutDigitGroups) {
    benchResults.seqRead = 20'480;
    refreshResultLabels();
    EXPECT_EQ(label(ids::kSequentialReadLabel), L"20.00 GB/s ");
    EXPECT_EQ(label(ids::kReadRatingLabel), L"10240.0");
    EXPECT_EQ(label(ids::kTotalRatingLabel), L"5120.0");
    EXPECT_EQ(label(ids::kWriteRatingLabel), L"0.0");
}

TEST_F(ResultLabels, EveryLabelShowsItsOwnSlot) {
    BenchResults& r = benchResults;
    r.seqRead = 20'480;
    r.seqWrite = 10'240;
    r.rand4kRead = 1'536;
    r.rand4kWrite = 2'560;
    r.rand1kRead = 512;
    r.rand1kWrite = 768;
    r.par64Read = 9'728;
    r.par64Write = 12'288;
    r.accessReadNs = 85.1;
    r.accessWriteNs = 0.5;
    refreshResultLabels();
    std::map<int, std::wstring> expected = {
        {ids::kSequentialReadLabel, L"20.00 GB/s "}, {ids::kSequentialWriteLabel, L"10.00 GB/s "},
        {ids::kRandom4kReadLabel, L"1.50 GB/s "},    {ids::kRandom4kWriteLabel, L"2.50 GB/s "},
        {ids::kRandom1kReadLabel, L"0.50 GB/s "},    {ids::kRandom1kWriteLabel, L"0.75 GB/s "},
        {ids::kParallelReadLabel, L"9.50 GB/s "},    {ids::kParallelWriteLabel, L"12.00 GB/s "},
        {ids::kAccessReadLabel, L"85.10 ns. "},      {ids::kAccessWriteLabel, L"0.50 ns. "},
        // read 20480 + (1536 + 512) x 0.3333333 + 9728 x 0.333333 = 24405.3300,
        // write 10240 + (2560 + 768 + 12288) x 0.333333 = 15445.3281
        {ids::kReadRatingLabel, L"12202.7"},         {ids::kWriteRatingLabel, L"7722.7"},
        {ids::kTotalRatingLabel, L"9962.7"},
    };
    for (const auto& [id, text] : expected) {
        EXPECT_EQ(label(id), text) << id;
    }
}

TEST_F(ResultLabels, RatingWeightsDifferInTheSeventhDecimal) {
    // 0.3000001 x 0.3333333 x 0.5 is just above 0.05, 0.3000001 x 0.333333 x 0.5 just below.
    benchResults.rand4kRead = 0.3000001;
    refreshResultLabels();
    EXPECT_EQ(label(ids::kReadRatingLabel), L"0.1");
    benchResults.rand4kRead = 0;
    benchResults.rand1kRead = 0.3000001;
    refreshResultLabels();
    EXPECT_EQ(label(ids::kReadRatingLabel), L"0.1");
    benchResults.rand1kRead = 0;
    benchResults.par64Read = 0.3000001;
    refreshResultLabels();
    EXPECT_EQ(label(ids::kReadRatingLabel), L"0.0");
    benchResults.par64Read = 0;
    benchResults.rand4kWrite = 0.3000001;
    refreshResultLabels();
    EXPECT_EQ(label(ids::kWriteRatingLabel), L"0.0");

    benchResults = BenchResults{};
    benchResults.rand4kRead = 3;  // 3 x 0.3333333 x 0.5 = 0.49999995
    refreshResultLabels();
    EXPECT_EQ(label(ids::kReadRatingLabel), L"0.5");
}

TEST_F(ResultLabels, AccessTimeThatIsNotANumberIsNotShownAsMissing) {
    benchResults.accessReadNs = std::numeric_limits<double>::quiet_NaN();
    refreshResultLabels();
    EXPECT_NE(label(ids::kAccessReadLabel), L"------ ");
    EXPECT_EQ(label(ids::kAccessWriteLabel), L"------ ");
}

TEST_F(ResultLabels, UnchangedTextsAreNotRewritten) {
    benchResults.seqRead = 1'000;
    refreshResultLabels();
    std::map<int, int> counts;
    for (int id : kSpeedLabels) {
        counts[id] = dialog->setTextCount(id);
    }
    for (int id : {ids::kAccessReadLabel, ids::kAccessWriteLabel, ids::kReadRatingLabel, ids::kWriteRatingLabel,
                   ids::kTotalRatingLabel}) {
        counts[id] = dialog->setTextCount(id);
    }
    for (const auto& [id, count] : counts) {
        EXPECT_EQ(count, 1) << id << " was written once";
    }

    refreshResultLabels();
    for (const auto& [id, count] : counts) {
        EXPECT_EQ(dialog->setTextCount(id), count) << id << " has the same text and is left alone";
    }

    // A new sequential read figure changes its label, the read rating and the total only.
    benchResults.seqRead = 2'000;
    refreshResultLabels();
    for (const auto& [id, count] : counts) {
        bool changes = id == ids::kSequentialReadLabel || id == ids::kReadRatingLabel || id == ids::kTotalRatingLabel;
        EXPECT_EQ(dialog->setTextCount(id), count + (changes ? 1 : 0)) << id;
    }
}

TEST_F(ResultLabels, LocaleNumbersRoundAndGroupOnlyWhenAsked) {
    EXPECT_STREQ(formatLocaleNumber(L"1234567.891", 2, true).c_str(), L"1,234,567.89");
    EXPECT_STREQ(formatLocaleNumber(L"1234567.891", 2, false).c_str(), L"1234567.89");
    EXPECT_STREQ(formatLocaleNumber(L"-5.5", 2, false).c_str(), L"-5.50");
    EXPECT_STREQ(formatLocaleNumber(L"0.049", 1, false).c_str(), L"0.0");
    // Not a number: the text comes back as it was.
    EXPECT_STREQ(formatLocaleNumber(L"1.#INF", 2, false).c_str(), L"1.#INF");
    EXPECT_STREQ(formatSpeed(std::numeric_limits<double>::infinity()).c_str(),
                 (WideString::format(L"%3.3f", std::numeric_limits<double>::infinity()) + L" GB/s ").c_str());
}

TEST_F(ResultLabelsGerman, AllZeroShowsZeroSpeedsHyphensAndZeroRatings) {
    refreshResultLabels();
    for (int id : kSpeedLabels) {
        EXPECT_EQ(label(id), L"0,00 GB/s ") << id;
    }
    EXPECT_EQ(label(ids::kAccessReadLabel), L"------ ");
    EXPECT_EQ(label(ids::kAccessWriteLabel), L"------ ");
    EXPECT_EQ(label(ids::kReadRatingLabel), L"0,0");
    EXPECT_EQ(label(ids::kWriteRatingLabel), L"0,0");
    EXPECT_EQ(label(ids::kTotalRatingLabel), L"0,0");
}

TEST_F(ResultLabelsGerman, SequentialReadAloneRatesWithoutDigitGroups) {
    benchResults.seqRead = 20'480;
    refreshResultLabels();
    EXPECT_EQ(label(ids::kSequentialReadLabel), L"20,00 GB/s ");
    EXPECT_EQ(label(ids::kReadRatingLabel), L"10240,0");
    EXPECT_EQ(label(ids::kTotalRatingLabel), L"5120,0");
    EXPECT_EQ(label(ids::kWriteRatingLabel), L"0,0");
}

TEST_F(ResultLabelsGerman, AccessTimesAndSmallRatingsUseTheComma) {
    benchResults.accessReadNs = 85.1;
    benchResults.accessWriteNs = 0.5;
    benchResults.rand4kRead = 3;
    refreshResultLabels();
    EXPECT_EQ(label(ids::kAccessReadLabel), L"85,10 ns. ");
    EXPECT_EQ(label(ids::kAccessWriteLabel), L"0,50 ns. ");
    EXPECT_EQ(label(ids::kReadRatingLabel), L"0,5");
}

TEST_F(ResultLabelsGerman, LocaleNumbersGroupWithPoints) {
    EXPECT_STREQ(formatLocaleNumber(L"1234567.891", 2, true).c_str(), L"1.234.567,89");
    EXPECT_STREQ(formatLocaleNumber(L"1234567.891", 2, false).c_str(), L"1234567,89");
}

}  // namespace
}  // namespace engine_test
