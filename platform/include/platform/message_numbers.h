// Numbers of the host's messages (the catalogues <root>\MESSAGES.Lnn): the
// prompt-line messages the module shows, and from 100 the host program's own
// texts. Message n is entry n - 1 of the host's message callback.
#pragma once

enum HostMessage : int {
    MSG_CLEAR = 0,  // no message: clears the prompt line
    MSG_WORKING = 1,
    MSG_DONE = 2,
    MSG_FIRST_PAGE = 4,
    MSG_LAST_PAGE = 5,
    MSG_FAILED = 6,
    MSG_SAVE_BEFORE_PRINT = 7,
    MSG_ONE_WORD_NAME = 8,
    MSG_NO_USER = 10,
    MSG_NO_RIGHTS = 11,
    MSG_SIGN_ON_HINT = 12,

    TEXT_SHELL_MENU = 100,
    TEXT_EDITOR = 101,
    TEXT_ERROR_LOG = 102,
    TEXT_SIGN_ON = 103,
    TEXT_QUIT = 104,
    TEXT_NO_HELP = 105,
    TEXT_UNKNOWN_MODULE = 106,
    TEXT_REPORT = 107,
    TEXT_PAGER_KEYS = 108,
    TEXT_NAME = 109,
    TEXT_PASSWORD = 110,
    TEXT_SIGN_ON_KEYS = 111,
    TEXT_SIGNED_ON = 112,
    TEXT_LOG_EMPTY = 113,
    TEXT_HELP = 114,
    TEXT_KEY_MENU = 115,
    TEXT_KEY_PAGE = 116,
    TEXT_DEVICES_CHANGED = 117,
    TEXT_PASSWORD_WAIT = 118,  // "{0}" stands for the seconds
    TEXT_LOG_UNREADABLE = 119,
};
