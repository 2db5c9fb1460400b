#pragma once

class BenchReport;

//! A large conversation history through the connector: how long until every item reached the main
//! thread, and how long the main thread stalled meanwhile.
void runHistoryBenchmark(BenchReport &report);
