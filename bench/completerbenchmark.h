#pragma once

class BenchReport;

//! A large address book through the connector into the dial field's suggestions: how long filling
//! them takes, and how long a keystroke in the dial field takes to the filtered pop-up. The same
//! figures for a QStandardItemModel filled row by row, for comparison.
void runCompleterBenchmark(BenchReport &report);
