#pragma once

class BenchReport;

//! A line-status answer with thousands of lines, through the connector into the main window.
void runLinesBenchmark(BenchReport &report);
