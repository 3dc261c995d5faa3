#include "app/app_state.h"

std::string windowClassName;
CharacterWnd* characterWnd = nullptr;
