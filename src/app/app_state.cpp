#include "app/app_state.h"

// Defined in one translation unit, in this order, so they are constructed in it (and destroyed
// in reverse) regardless of link order.
AccountList accounts;
AccountList retiredAccounts;
