#pragma once

class BenchReport;

//! Two books of 50,000 contacts through the main window's address book window and dial
//! completer: load time, the longest stall while loading, a search keystroke, peak memory.
void runAddressbookBenchmark(BenchReport &report);
