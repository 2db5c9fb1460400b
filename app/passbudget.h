#pragma once

//! The share of one pass of the main thread's event loop that bulk work may take, so that input,
//! painting and the keep-alive get their turn within a frame. Work that comes in bulk (a burst of
//! received events, call views to build or free, rows to list) asks before each further unit;
//! all of it shares one clock per pass, which the first question of a pass starts.
//!
//! Main thread only.
class PassBudget
{
public:
    PassBudget() = delete;

    //! False for the first question of a pass, which starts the pass's clock; after that true once
    //! the pass has run for budgetMs since then.
    static bool spent(int budgetMs);

    //! Starts a new pass at the next question, as the event loop does between its passes.
    static void endPass();
};
