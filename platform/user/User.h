// The whole window system in one include.
#pragma once

#include "platform/user/Cursor.h"
#include "platform/user/Focus.h"
#include "platform/user/HostInput.h"
#include "platform/user/Keyboard.h"
#include "platform/user/Messages.h"
#include "platform/user/MessageQueue.h"
#include "platform/user/Screen.h"
#include "platform/user/Window.h"
