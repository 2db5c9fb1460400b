#pragma once

class BenchReport;

//! The extension monitor with 1,000 colleagues: drawing them from one buddy-list response, and
//! one presence event on a shown lamp through the connector.
void runMonitorBenchmark(BenchReport &report);
