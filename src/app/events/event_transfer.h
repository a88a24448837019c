#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "app/shell/outcome.h"
#include "app/shell/progress_bar.h"

namespace keelsong {

class Program;

// The whole event table between the grid and the unit, one event per exchange. Each step tells its
// progress in the status line and in MAIN's progress bar, and moves the transfer mark down the
// grid; the window paints it in the pause of the exchange that follows. The wait cursor is the
// callers'.

// Reads the unit's table into the grid from index 0 until the unit says the table has ended.
// The grid is not emptied first: "Does not Exist" deletes the rows beyond the unit's table,
// "Past End of Table" leaves them. 0 when read to the end; otherwise the failed enquiry's
// code (1 when the unit did not answer), with the rows read so far kept. A unit that still
// answers an event past the grid's 40 rows gets Too Many Events.
uint16_t RetrieveEventTable(Program& program);
// The same, also telling how many events were read before the table ended or the read failed.
uint16_t RetrieveEventTable(Program& program, int& events_read);

// Reads the unit's table over the grid as RetrieveEventTable does and, when it was read to its
// end, drops the grid rows beyond it, whichever way the unit said the table ended: the grid
// then holds the unit's table and nothing else. "Undo Changes" and "Refresh Table".
uint16_t RereadEventTable(Program& program);

// "Accept Changes" in steps of one transaction each, shown in MAIN's progress bar: the
// removals that empty the unit's table, one addition per event, then the setup, the save and
// the play request. How many removals it takes is known only once the unit answers "Does not
// Exist": until then the events the unit last held stand for it (or, where no exchange has told,
// the grid's), and a removal beyond them leaves the count still to come as it was. Every step
// either adds to what is done or takes from what is to come, so the bar never moves back.
class AcceptSteps {
  public:
    AcceptSteps(Ui& ui, int removals, int others)
        : bar_(ui, Panel::MAIN), removals_left_(removals), others_left_(others) {}

    // One removal answered: `table_ended` when the unit said it had nothing left.
    void Removed(bool table_ended) {
        ++done_;
        removals_left_ = table_ended ? 0 : std::max(removals_left_ - 1, 1);
        Show();
    }
    // One of the other steps done.
    void Passed() {
        ++done_;
        others_left_ = std::max(others_left_ - 1, 0);
        Show();
    }

  private:
    void Show() {
        bar_.ShowPart(static_cast<size_t>(done_),
                      static_cast<size_t>(done_ + removals_left_ + others_left_));
    }

    ProgressBar bar_;
    int done_ = 0;
    int removals_left_;
    int others_left_;
};

// Empties the unit's table, then adds every non-empty row in grid order at consecutive unit
// indices, counting each exchange in `steps` when given. A failure's code is that of the
// exchange that failed (1 when the unit did not answer); after a failed add the events before it
// stay in the unit.
Outcome SendEventTable(Program& program, AcceptSteps* steps = nullptr);

}  // namespace keelsong
