#pragma once

class BenchReport;

//! A large conversation history through the connector into the conversations list: how long until
//! every row is in the sorted view, and how long the main thread stalled meanwhile.
void runHistoryListBenchmark(BenchReport &report);
