#pragma once

class BenchReport;

//! A storm of presence events for a loaded colleague list, through the connector's message path.
void runPresenceBenchmark(BenchReport &report);
