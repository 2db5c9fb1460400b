#pragma once

class BenchReport;

//! Updates of known calls in a sorted queue monitor of ten thousand calls, through the connector.
void runQueueMonitorBenchmark(BenchReport &report);
