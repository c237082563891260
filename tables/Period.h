#pragma once
// The period key: year x 10 + quarter (the fourth quarter of 2011 is 20114),
// so that ordering by the key orders by time.
namespace quarlex {

constexpr int periodKey(int year, int quarter) { return year * 10 + quarter; }
constexpr int periodYear(int key) { return key / 10; }
constexpr int periodQuarter(int key) { return key % 10; }

} // namespace quarlex
