// The kit's script: links.Network with the reader's tools, which a page
// address ending in #plain leaves out.

import { Network, publish } from './links-network.js';
import { plainRequested, readerTools } from './tools/index.js';
import { requireLibrary } from './vis-adapter.js';
import { fitPhones } from './tools/figure-style.js';

requireLibrary();
if (!plainRequested(window.location)) {
  Network.readerTools = readerTools;
  fitPhones(document);
}
publish(window);
