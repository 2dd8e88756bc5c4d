// The plain kit's script: links.Network alone, with no reader's tools.

import { publish } from './links-network.js';
import { requireLibrary } from './vis-adapter.js';

requireLibrary();
publish(window);
