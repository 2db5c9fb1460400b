#pragma once

class BenchReport;

//! One book of 100,000 contacts loaded page by page from the in-process simulator over loopback:
//! time, throughput, ratio to bare parsing of the same pages, and memory per contact.
void runContactsBenchmark(BenchReport &report);
