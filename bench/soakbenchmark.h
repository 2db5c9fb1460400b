#pragma once

class BenchReport;

//! A long day: many calls opened, answered and ended through the connector and the main window,
//! with pop-ups and conversation rows; memory must level off.
void runSoakBenchmark(BenchReport &report);
