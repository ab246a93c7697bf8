// The table top's scatter table: its file round trip, what the reader refuses, and the
// interpolation (exact at the nodes, exact for anything linear in its coordinates between
// them, the edges taken beyond the table).
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "engine/couch_scatter_table.h"
#include "engine/errors.h"

namespace korvex {
namespace {

// A small table whose values are linear in the interpolation's coordinates: tube voltage,
// copper (found by HVL), log field, log transmission, 1 / (mattress + 3 cm). Multilinear
// interpolation reproduces such a function exactly anywhere inside.
double Linear(double kv, double copper, double field, double t, double mattress) {
    return 0.2 + 0.001 * kv + 0.05 * copper + 0.03 * std::log(field) - 0.1 * std::log(t) +
           0.4 / (mattress + 3);
}

CouchScatterTable LinearTable() {
    CouchScatterTable table;
    table.axes = {std::vector<double>{50, 100, 140},
                  {0, 0.3, 0.9},
                  {3, 10, 40},
                  {0.5, 0.8, 0.95},
                  {0, 4, 10}};
    // HVLs (mm Al) that rise with copper and with voltage, the same at 100 and 140 kV so that
    // the filtration position is the same across that voltage interval.
    table.half_value_layers = {2.0, 4.0, 7.0, 3.0, 6.0, 9.0, 3.0, 6.0, 9.0};
    for (double kv : table.axes[0]) {
        for (double cu : table.axes[1]) {
            for (double f : table.axes[2]) {
                for (double t : table.axes[3]) {
                    for (double m : table.axes[4]) {
                        table.values.push_back(Linear(kv, cu, f, t, m));
                        table.uncertainties.push_back(0.001);
                    }
                }
            }
        }
    }
    table.notes = {"test table"};
    return table;
}

std::string Text(const CouchScatterTable& table) {
    std::string text;
    for (const std::string& line : FormatCouchScatterTable(table)) {
        text += line + "\r\n";
    }
    return text;
}

TEST(CouchScatterTable, RoundTripsThroughItsFile) {
    const CouchScatterTable table = LinearTable();
    const CouchScatterTable read = ParseCouchScatterTable(Text(table), "t");
    EXPECT_EQ(read.axes, table.axes);
    EXPECT_EQ(read.half_value_layers, table.half_value_layers);
    EXPECT_EQ(read.values, table.values);
    EXPECT_EQ(read.uncertainties, table.uncertainties);
    EXPECT_EQ(read.notes, table.notes);
    EXPECT_EQ(read.Count(), 243U);
}

TEST(CouchScatterTable, ReaderRefusesWhatTheLookupCouldNotUse) {
    const std::string good = Text(LinearTable());
    auto replaced = [&good](const std::string& from, const std::string& to) {
        std::string text = good;
        const std::size_t at = text.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        return text.replace(at, from.size(), to);
    };
    const std::vector<std::string> broken = {
        "",
        "something else\r\n",
        replaced("kV,50,100,140", "kV,50,140,100"),        // not rising
        replaced("kV,50,100,140", "kV,50"),                // one node
        replaced("field cm,3,10,40", "field cm,0,10,40"),  // log of zero
        replaced("T,0.5,0.8,0.95", "T,0.5,0.8,1.2"),       // T above 1
        replaced("HVL mm Al,2,4,7", "HVL mm Al,2,7,4"),    // HVL falling
        replaced("HVL mm Al,2,4,7,", "HVL mm Al,2,4,"),    // HVL count
        replaced("50,0,3,0.5,0,", "50,0,3,0.5,4,"),        // row out of order
        replaced("50,0,3,0.5,0,", "50,0,3,0.5,x,"),        // row not a number
        replaced("50,0,3,0.5,0,", "50,0,3,0.5,0,1,"),      // eight values
        good.substr(0, good.find("140,0.9,40,0.95,10")),   // cut short
        good + "1,2,3\r\n",                                // more than the table
    };
    for (const std::string& text : broken) {
        EXPECT_THROW(ParseCouchScatterTable(text, "CouchScatter.dat"), FileError)
            << text.substr(0, 200);
    }
    // Values the file may hold: 0 to 10, uncertainties too.
    for (const double bad : {-0.001, 10.5}) {
        CouchScatterTable table = LinearTable();
        table.values[7] = bad;
        EXPECT_THROW(ParseCouchScatterTable(Text(table), "t"), FileError) << bad;
        table = LinearTable();
        table.uncertainties[7] = bad;
        EXPECT_THROW(ParseCouchScatterTable(Text(table), "t"), FileError) << bad;
    }
}

TEST(CouchScatterTable, ExactAtNodesAndLinearBetween) {
    const CouchScatterTable table = LinearTable();
    // At a node: the node's value, to the last bit (the other corners weigh exactly 0).
    const CouchScatterLookup node = LookUpCouchScatter(table, {100, 6.0, 10, 0.8, 4});
    EXPECT_EQ(node.ratio, Linear(100, 0.3, 10, 0.8, 4));
    EXPECT_TRUE(node.clamped.empty());
    // Between nodes, at 120 kV (HVL nodes 3, 6, 9 there): an HVL of 4.5 lies halfway
    // between the first two copper nodes.
    const CouchScatterLookup between = LookUpCouchScatter(table, {120, 4.5, 17, 0.7, 6.5});
    EXPECT_NEAR(between.ratio, Linear(120, 0.15, 17, 0.7, 6.5), 1e-12);
    // At 75 kV each copper node's HVL is halfway between its 50 and 100 kV values.
    const CouchScatterLookup low = LookUpCouchScatter(table, {75, 2.5, 5, 0.9, 1});
    EXPECT_NEAR(low.ratio, Linear(75, 0.0, 5, 0.9, 1), 1e-12);
}

TEST(CouchScatterTable, BeyondTheTableTakesTheEdgeAndSaysWhere) {
    const CouchScatterTable table = LinearTable();
    const CouchScatterLookup beyond = LookUpCouchScatter(table, {149, 1.0, 50, 0.3, 12});
    EXPECT_NEAR(beyond.ratio, Linear(140, 0, 40, 0.5, 10), 1e-12);
    EXPECT_EQ(beyond.clamped,
              (std::vector<std::string>{"tube voltage", "half-value layer", "field size",
                                        "couch transmission", "mattress"}));
    // Not a number is never interpolated: it takes the lower edge and is named.
    const CouchScatterLookup nan = LookUpCouchScatter(table, {100, 6.0, NAN, 0.8, 4});
    EXPECT_TRUE(std::isfinite(nan.ratio));
    EXPECT_EQ(nan.clamped, std::vector<std::string>{"field size"});
}

}  // namespace
}  // namespace korvex
