#pragma once

class BenchReport;

//! Server messages through the connector's dispatch, against bare JSON parsing of the same texts.
void runDispatchBenchmark(BenchReport &report);
