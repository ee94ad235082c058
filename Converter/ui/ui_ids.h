// Window ids of the converter's controls.
//
// These numbers are part of the program's interface: the tests find controls by
// them and the Windows resource file uses the same values. Never renumber them.
// Ids repeat between windows (a style page's description and the main window's
// "Lock to domain" check box are both 1055), so look a control up in its own
// parent, never with a recursive search from the main window.
#pragma once

namespace vg::ui {

// Main window.
enum MainWinId : int {
  IDC_ADD_FILES = 1002,
  IDC_TARGET_FOLDER = 1003,
  IDC_ADD_FOLDER = 1004,
  IDC_BROWSE_TARGET = 1005,
  IDC_REMOVE_SELECTED = 1006,
  IDC_PROGRESS = 1007,
  IDC_CLEAR_LIST = 1008,
  IDC_START = 1009,
  IDC_MOVE_UP = 1010,
  IDC_STOP = 1011,
  IDC_MOVE_DOWN = 1012,
  IDC_ABOUT = 1016,
  IDC_CLOSE = 1022,
  IDC_IMAGE_LIST = 1033,
  IDC_MESSAGE_LOADING = 1038,
  IDC_MESSAGE_STATUS = 1039,
  IDC_BACK_COLOR = 1040,
  IDC_TEXT_COLOR = 1041,
  IDC_PREVIEW = 1042,
  IDC_BORDER_WIDTH = 1043,
  IDC_BORDER_SPIN = 1044,
  IDC_DOMAIN = 1045,
  IDC_EDIT_DOMAINS = 1046,  // "Edit..." beside the domain drop-down
  IDC_WATERMARK = 1047,
  IDC_OPEN_TARGET = 1054,
  IDC_DOMAIN_LOCK = 1055,
  IDC_STYLE_FRAME = 1070,
  IDC_STYLE_FIRST = 1080,  // 1080 + PresentationStyle
  IDC_STYLE_LINK = 1080,
  IDC_STYLE_TEXT2IMAGE = 1081,
  IDC_STYLE_IMAGE2TEXT = 1082,
  IDC_STYLE_IMAGE2IMAGE = 1083,
  IDC_STYLE_SLIDESHOW = 1084,
};

// Style pages.
enum StylePageId : int {
  IDC_PAGE_DESCRIPTION = 1055,
  IDC_LINK = 1013,
  IDC_OTHER_FRAME = 1014,
  IDC_FRAME_FIRST = 1091,  // 1091 + Frame
  IDC_FRAME_SELF = 1091,
  IDC_FRAME_TOP = 1092,
  IDC_FRAME_BLANK = 1093,
  IDC_FRAME_OTHER = 1094,
  IDC_MESSAGE_TEXT = 1034,
  IDC_IMAGE2_FILE = 1035,
  IDC_IMAGE2_BROWSE = 1005,
  IDC_IMAGE2_PREVIEW = 1006,
  IDC_DELAY = 1036,
  IDC_DELAY_SPIN = 1037,
};

// About box.
enum AboutId : int {
  IDC_ABOUT_VERSION = 1002,
  IDC_ABOUT_COPYRIGHT = 1004,
  IDC_ABOUT_LINK = 1006,
};

// Domain names dialog.
enum DomainsDlgId : int {
  IDC_DOMAINS_LIST = 1101,
  IDC_DOMAINS_NAME = 1102,
  IDC_DOMAINS_ADD = 1103,
  IDC_DOMAINS_REMOVE = 1104,
};

}  // namespace vg::ui
