#include "formats/csv.hpp"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <tuple>

#include "formats/spectrum_values.hpp"
#include "sample_record.hpp"

namespace brandel::formats {
namespace {

using test_support::SampleRecord;

TEST(CsvWriter, OneRowPerChannelWithItsEnergy) {
    SampleRecord r;
    r.counts = {7, -5, 2147483647};
    r.energy_zero = 1.5f, r.energy_slope = 0.25f, r.energy_quad = 0.5f;
    EXPECT_EQ(csv_bytes(*r.state()),
              "channel,energy_keV,counts\r\n"
              "0,1.5,7\r\n"
              "1,2.25,-5\r\n"
              "2,4,2147483647\r\n");
}

TEST(CsvWriter, EnergyIsEmptyWithoutACalibration) {
    SampleRecord r;
    r.counts = {3, 4};
    for (const auto& [zero, slope, quad] :
         {std::tuple{0.0f, 1.0f, 0.0f}, std::tuple{2.0f, 0.0f, 0.0f},
          std::tuple{0.0f, std::numeric_limits<float>::quiet_NaN(), 0.0f}}) {
        r.energy_zero = zero, r.energy_slope = slope, r.energy_quad = quad;
        EXPECT_EQ(csv_bytes(*r.state()), "channel,energy_keV,counts\r\n0,,3\r\n1,,4\r\n");
    }
    r.counts = {};
    EXPECT_EQ(csv_bytes(*r.state()), "channel,energy_keV,counts\r\n");
}

TEST(CsvWriter, EnergiesAreThoseOfTheFloatTerms) {
    SampleRecord r;  // -1.25, 0.5, 1.2e-05 as floats
    r.counts.assign(4096, 1);
    const std::string csv = csv_bytes(*r.state());
    const double c = 4095;
    const double e = -1.25 + 0.5 * c + static_cast<double>(1.2e-05f) * c * c;
    std::string row = "4095,";
    append_double(row, e);
    EXPECT_TRUE(csv.ends_with(row + ",1\r\n")) << csv.substr(csv.size() - 60);
}

}  // namespace
}  // namespace brandel::formats
