// The shape of the page, named once for everything that writes it or reads it
// back: the page writer and the title anchor of the plan reader write it; the
// bundler and the tests parse it. The kit in web/ knows the same shape from
// web/src/page-contract.js; a change here is a change there, and the test that
// parses a written page with that module holds the two together.
//
// The pieces that go into string literals are macros so that they can be
// joined with the configured hosts at compile time; each has a constant beside
// it for code that looks for it in a line.
#pragma once

#include <cstddef>

namespace plotweave {

// The two outside scripts: <script type="text/javascript" src="HOST/PATH"></script>.
#define PLOTWEAVE_SCRIPT_OPEN "<script type=\"text/javascript\" src=\""
#define PLOTWEAVE_SCRIPT_CLOSE "\"></script>"
#define PLOTWEAVE_LOADER_PATH "/jsapi"
#define PLOTWEAVE_NETWORK_PATH "/Graph/network/network.js"
// Shown for a node whose plan line names no image; on the laboratory server.
#define PLOTWEAVE_PLACEHOLDER_PATH "/VR/style/noimage.png"

inline constexpr char kScriptOpen[] = PLOTWEAVE_SCRIPT_OPEN;
inline constexpr char kScriptClose[] = PLOTWEAVE_SCRIPT_CLOSE;
inline constexpr char kLoaderPath[] = PLOTWEAVE_LOADER_PATH;
inline constexpr char kNetworkPath[] = PLOTWEAVE_NETWORK_PATH;
inline constexpr char kPlaceholderPath[] = PLOTWEAVE_PLACEHOLDER_PATH;

// A data row: INDENT + OPEN + values joined by the separator + CLOSE, one per
// line. Values are written verbatim, which is why a value never holds the
// separator unless underscores became blanks in a node's text.
#define PLOTWEAVE_ROW_INDENT "        "
#define PLOTWEAVE_NODE_ROW_OPEN "nodesTable.addRow(['"
#define PLOTWEAVE_LINK_ROW_OPEN "linksTable.addRow(['"
#define PLOTWEAVE_ROW_SEPARATOR "', '"
#define PLOTWEAVE_ROW_CLOSE "']);"

inline constexpr char kRowIndent[] = PLOTWEAVE_ROW_INDENT;
inline constexpr char kNodeRowOpen[] = PLOTWEAVE_NODE_ROW_OPEN;
inline constexpr char kLinkRowOpen[] = PLOTWEAVE_LINK_ROW_OPEN;
inline constexpr char kRowSeparator[] = PLOTWEAVE_ROW_SEPARATOR;
inline constexpr char kRowClose[] = PLOTWEAVE_ROW_CLOSE;

// The values of a node row, in order.
enum NodeColumn : size_t { kNodeId, kNodeGroup, kNodeText, kNodeTitle, kNodeStyle, kNodeImage, kNodeUrl, kNodeColumnCount };
// The values of a link row, in order.
enum LinkColumn : size_t { kLinkFrom, kLinkTo, kLinkColor, kLinkStyle, kLinkTitle, kLinkText, kLinkColumnCount };

// The first node row stands for no node of the plan: the network script
// selects row 0 when the page opens, and this row takes that selection.
#define PLOTWEAVE_DUMMY_NODE_ID "00000"
#define PLOTWEAVE_DUMMY_GROUP "dummy"
#define PLOTWEAVE_DUMMY_ROW                                                                                     \
  PLOTWEAVE_ROW_INDENT PLOTWEAVE_NODE_ROW_OPEN PLOTWEAVE_DUMMY_NODE_ID PLOTWEAVE_ROW_SEPARATOR PLOTWEAVE_DUMMY_GROUP \
      "', '', '', 'dot', '', '" PLOTWEAVE_ROW_CLOSE "\n"

inline constexpr char kDummyNodeId[] = PLOTWEAVE_DUMMY_NODE_ID;
inline constexpr char kDummyGroup[] = PLOTWEAVE_DUMMY_GROUP;

// A picture node's group is its class name with this suffix, its style "image".
inline constexpr char kImageGroupSuffix[] = "_image";
inline constexpr char kImageStyle[] = "image";

// A node's title: <a href="ADDRESS" target="TARGET">LABEL</a>, or for a
// picture node <a href="ADDRESS" target="TARGET"><img src="IMAGE"/></a>.
inline constexpr char kAnchorOpen[] = "<a href=\"";
inline constexpr char kAnchorTarget[] = "\" target=\"";
inline constexpr char kAnchorTextOpen[] = "\">";
inline constexpr char kAnchorTextClose[] = "</a>";
inline constexpr char kAnchorImageOpen[] = "\"><img src=\"";
inline constexpr char kAnchorImageClose[] = "\"/></a>";
// Where a title's picture address begins.
inline constexpr char kTitleImageOpen[] = "<img src=\"";

}  // namespace plotweave
