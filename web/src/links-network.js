/*
 * links.Network for Plotweave pages, drawn with vis-network.
 *
 * The build appends this file to vis-network's standalone bundle, so the
 * global `vis` is defined when it runs. A page uses it like this:
 *
 *   var network = new links.Network(container);
 *   google.visualization.events.addListener(network, 'select', onselect);
 *   network.draw(nodesTable, linksTable, options);
 *   network.setSelection([{row: 0}]);
 *   ... network.getSelection()  ->  [{row: n}, ...]
 *
 * Nodes are keyed by their row in the node table, so a selection maps back to
 * a row whatever the ids hold (two rows with the same id are two nodes; a link
 * attaches to the first row with its id, as the plan reader resolves names).
 *
 * 'select' is raised only when the user's action leaves at least one node
 * selected: the page's handler reads sel[0] without a guard, so a click on
 * empty canvas or on a link, which empties the node selection, raises
 * nothing. setSelection() raises nothing either.
 *
 * When the layout has settled the container gets data-layout="settled" and a
 * bubbling 'networksettled' DOM event; whenSettled() returns a promise for
 * the same moment. The layout uses a fixed seed, so a page is drawn the same
 * way every time in a window of the same size.
 *
 * A build with the reader's tools sets links.Network.readerTools; draw()
 * then lets them place the nodes before the first picture and add their
 * controls after it (see tools/index.js). Without them, the drawing settles
 * by simulation as below.
 */
(function (global) {
  'use strict';

  var vis = global.vis;
  if (!vis || !vis.Network || !vis.DataSet) {
    throw new Error('links.Network: the vis-network bundle is missing');
  }

  var LAYOUT_SEED = 20170919;
  var DEFAULT_RADIUS = 5;
  var DEFAULT_IMAGE_RADIUS = 25;

  // The placeholder image lives on the same server as this script.
  var PLACEHOLDER_IMAGE = (function () {
    var script = global.document && global.document.currentScript;
    var src = script && script.src;
    if (!src) return undefined;
    var at = src.indexOf('/Graph/network/');
    return at >= 0 ? src.slice(0, at) + '/VR/style/noimage.png' : undefined;
  })();

  // Node styles: the traditional names of this network script and every
  // vis-network shape, looked up without regard to case.
  var SHAPES = {
    rect: 'box', rectangle: 'box', label: 'text',
    box: 'box', text: 'text', circle: 'circle', ellipse: 'ellipse',
    database: 'database', dot: 'dot', star: 'star', triangle: 'triangle',
    triangledown: 'triangleDown', square: 'square', diamond: 'diamond',
    hexagon: 'hexagon', image: 'image', circularimage: 'circularImage'
  };
  var DEFAULT_SHAPE = 'box';
  // Shapes whose size is set by the radius; the others grow with their label.
  var SIZED_SHAPES = {
    dot: 1, star: 1, triangle: 1, triangleDown: 1, square: 1, diamond: 1,
    hexagon: 1, image: 1, circularImage: 1
  };

  function shapeOf(style) {
    if (style === undefined || style === null || style === '') return undefined;
    return SHAPES[String(style).toLowerCase()] || DEFAULT_SHAPE;
  }

  // Link styles: 'line', 'arrow', 'arrow-center', 'dash-line',
  // 'moving-arrows', 'moving-dot' and combinations such as 'dash-arrow'.
  // Moving styles are drawn still, with their marker in the middle.
  function linkStyle(style) {
    var s = String(style || 'line').toLowerCase();
    var result = { dashes: s.indexOf('dash') >= 0, arrows: undefined };
    var middle = /center|centre|middle|moving/.test(s);
    if (s.indexOf('arrow') >= 0) {
      result.arrows = middle ? { middle: { enabled: true, type: 'arrow' } }
                             : { to: { enabled: true, type: 'arrow' } };
    } else if (/moving/.test(s) && s.indexOf('dot') >= 0) {
      result.arrows = { middle: { enabled: true, type: 'circle', scaleFactor: 0.6 } };
    }
    return result;
  }

  // A font family list that ends in a generic family, so a face missing on
  // this machine (the Korean faces of Windows, say) falls back to one that
  // has the glyphs.
  function fontFamily(face) {
    if (!face) return 'sans-serif';
    var f = String(face).trim();
    if (/[,"']/.test(f)) return f + ', sans-serif';
    return '"' + f + '", sans-serif';
  }

  function isSet(v) {
    return v !== undefined && v !== null && v !== '';
  }

  function first() {
    for (var i = 0; i < arguments.length; i++) {
      if (isSet(arguments[i])) return arguments[i];
    }
    return undefined;
  }

  function asNumber(v) {
    if (!isSet(v)) return undefined;
    var n = Number(v);
    return isFinite(n) ? n : undefined;
  }

  // Rows of a DataTable (or of an array of plain objects) as objects keyed by
  // column label.
  function readTable(table) {
    if (!table) return [];
    if (Array.isArray(table)) return table.slice();
    var rows = [];
    var cols = table.getNumberOfColumns();
    var labels = [];
    for (var c = 0; c < cols; c++) {
      labels.push(table.getColumnLabel(c) || (table.getColumnId ? table.getColumnId(c) : ''));
    }
    var n = table.getNumberOfRows();
    for (var r = 0; r < n; r++) {
      var row = {};
      for (var k = 0; k < cols; k++) {
        if (labels[k] && !(labels[k] in row)) row[labels[k]] = table.getValue(r, k);
      }
      rows.push(row);
    }
    return rows;
  }

  // The network each container currently shows, so that a new network on
  // the same container retires the old one instead of leaving its
  // simulation and listeners running.
  var current = typeof WeakMap === 'function' ? new WeakMap() : null;

  function Network(container) {
    if (!container || container.nodeType !== 1) {
      throw new Error('links.Network: a container element is required');
    }
    if (current) {
      var previous = current.get(container);
      if (previous) previous._destroy();
      current.set(container, this);
    }
    this.container = container;
    this.vis = null;
    this.nodes = null;
    this.edges = null;
    this.settled = false;
    this._rows = 0;
    this._settledWaiters = [];
    this._ownListeners = {};
    this._detachTools = null;
    container.removeAttribute('data-layout');
  }

  Network.prototype._destroy = function () {
    if (this._detachTools) {
      this._detachTools();
      this._detachTools = null;
    }
    if (this.vis) {
      this.vis.destroy();
      this.vis = null;
    }
  };

  Network.prototype.draw = function (nodesTable, linksTable, options) {
    options = options || {};
    var nodeOpts = options.nodes || {};
    var linkOpts = options.links || options.edges || {};
    var groups = options.groups || {};
    var self = this;

    this._destroy();
    this.settled = false;
    this.container.removeAttribute('data-layout');

    var nodeRows = readTable(nodesTable);
    var linkRows = readTable(linksTable);
    var rowOfId = {};
    var nodes = [];

    nodeRows.forEach(function (row, index) {
      var id = row.id;
      if (isSet(id) && !Object.prototype.hasOwnProperty.call(rowOfId, id)) rowOfId[id] = index;
      var group = isSet(row.group) && Object.prototype.hasOwnProperty.call(groups, row.group)
        ? groups[row.group] : {};
      var shape = shapeOf(row.style) || shapeOf(group.style) || shapeOf(nodeOpts.style) || DEFAULT_SHAPE;
      var image = first(row.image, group.image, nodeOpts.image);
      if ((shape === 'image' || shape === 'circularImage') && !isSet(image)) {
        image = PLACEHOLDER_IMAGE;
      }
      var radius = first(asNumber(row.radius), asNumber(group.radius), asNumber(nodeOpts.radius),
        shape === 'image' || shape === 'circularImage' ? DEFAULT_IMAGE_RADIUS : DEFAULT_RADIUS);
      var border = first(group.borderColor, nodeOpts.borderColor, '#2B7CE9');
      var background = first(group.backgroundColor, nodeOpts.backgroundColor, 'white');
      var highlight = first(group.highlightColor, nodeOpts.highlightColor, background);
      var node = {
        id: index,
        label: isSet(row.text) ? String(row.text) : undefined,
        shape: shape,
        color: {
          border: border,
          background: background,
          highlight: { border: border, background: highlight },
          hover: { border: border, background: background }
        },
        font: {
          face: fontFamily(first(group.fontFace, nodeOpts.fontFace)),
          size: first(asNumber(group.fontSize), asNumber(nodeOpts.fontSize), 14),
          color: first(group.fontColor, nodeOpts.fontColor, 'black')
        },
        size: radius
      };
      if (SIZED_SHAPES[shape] !== 1) delete node.size;
      if (shape === 'image' || shape === 'circularImage') {
        node.image = String(image);
        if (shape === 'image') {
          // A frame in the background colour that turns to the highlight
          // colour, so a selected picture shows that it is selected.
          node.shapeProperties = { useBorderWithImage: true };
          node.borderWidthSelected = 3;
          node.color.border = background;
          node.color.hover.border = background;
          node.color.highlight.border = highlight;
        }
      }
      nodes.push(node);
    });

    var edges = [];
    linkRows.forEach(function (row, index) {
      var style = linkStyle(first(row.style, linkOpts.style));
      var color = first(row.color, linkOpts.color, '#2B7CE9');
      var edge = {
        id: index,
        from: Object.prototype.hasOwnProperty.call(rowOfId, row.from) ? rowOfId[row.from] : undefined,
        to: Object.prototype.hasOwnProperty.call(rowOfId, row.to) ? rowOfId[row.to] : undefined,
        label: isSet(row.text) ? String(row.text) : undefined,
        title: isSet(row.title) ? String(row.title) : undefined,
        color: { color: color, highlight: color, hover: color, inherit: false },
        dashes: style.dashes,
        width: first(asNumber(row.width), asNumber(linkOpts.width), 1),
        length: first(asNumber(row.length), asNumber(linkOpts.length), undefined),
        font: {
          face: fontFamily(linkOpts.fontFace),
          size: first(asNumber(linkOpts.fontSize), 14),
          color: first(linkOpts.fontColor, '#343434')
        }
      };
      if (style.arrows) edge.arrows = style.arrows;
      if (edge.length === undefined) delete edge.length;
      // A link whose ends are not both in the node table is not drawn.
      if (edge.from !== undefined && edge.to !== undefined) edges.push(edge);
    });

    this._rows = nodeRows.length;

    // The reader's tools, when the build has them and the page address does
    // not ask for the bare drawing (#plain).
    var tools = Network.readerTools || null;
    var toolState = null;
    if (tools) {
      toolState = { network: this, container: this.container, nodes: nodes, edges: edges,
        nodeRows: nodeRows, linkRows: linkRows, options: options };
    }

    var stabilize = options.stabilize === true || options.stabilize === 'true';
    var visOptions = {
      width: isSet(options.width) ? String(options.width) : '100%',
      height: isSet(options.height) ? String(options.height) : '400px',
      autoResize: true,
      layout: { randomSeed: LAYOUT_SEED, improvedLayout: true },
      interaction: {
        selectable: options.selectable !== false && options.selectable !== 'false',
        selectConnectedEdges: false,
        hover: false,
        tooltipDelay: 200
      },
      nodes: { brokenImage: PLACEHOLDER_IMAGE },
      edges: { smooth: false },
      physics: {
        solver: 'barnesHut',
        stabilization: { enabled: true, iterations: stabilize ? 1000 : 400, fit: true }
      }
    };

    // Drawing starts from a layout that has already been run for a while so
    // the page opens on a readable picture; what movement remains settles
    // in view.
    if (tools) {
      toolState.visOptions = visOptions;
      var changes = tools.prepare(toolState);
      for (var key in changes) visOptions[key] = Object.assign({}, visOptions[key], changes[key]);
    }
    this.nodes = new vis.DataSet(nodes);
    this.edges = new vis.DataSet(edges);

    var network = new vis.Network(this.container, { nodes: this.nodes, edges: this.edges }, visOptions);
    this.vis = network;

    network.on('select', function (params) {
      if (params && params.nodes && params.nodes.length > 0) self._trigger('select', {});
    });

    var done = function () {
      if (self.vis !== network || self.settled) return;
      self.settled = true;
      self.container.setAttribute('data-layout', 'settled');
      var waiters = self._settledWaiters;
      self._settledWaiters = [];
      waiters.forEach(function (resolve) { resolve(self); });
      var evt;
      try {
        evt = new CustomEvent('networksettled', { bubbles: true });
      } catch (e) {
        evt = document.createEvent('Event');
        evt.initEvent('networksettled', true, false);
      }
      self.container.dispatchEvent(evt);
      self._trigger('ready', {});
    };
    if (tools) {
      this._detachTools = tools.attach(toolState, network, done);
      return;
    }
    network.once('stabilized', function () {
      // Show the whole network once it has come to rest.
      network.fit();
      done();
    });
    if (nodes.length === 0) setTimeout(done, 0);
  };

  // [{row: n}, ...] for the selected nodes.
  Network.prototype.getSelection = function () {
    if (!this.vis) return [];
    return this.vis.getSelectedNodes().map(function (id) { return { row: id }; });
  };

  // Selects the nodes of the given rows; rows outside the table are ignored.
  // Raises no event.
  Network.prototype.setSelection = function (selection) {
    if (!this.vis) return;
    var rows = this._rows;
    var ids = [];
    (selection || []).forEach(function (item) {
      var row = item && typeof item === 'object' ? item.row : item;
      if (typeof row === 'number' && row >= 0 && row < rows && Math.floor(row) === row) ids.push(row);
    });
    this.vis.selectNodes(ids, false);
  };

  Network.prototype.whenSettled = function () {
    var self = this;
    if (this.settled) return Promise.resolve(this);
    return new Promise(function (resolve) { self._settledWaiters.push(resolve); });
  };

  Network.prototype.redraw = function () {
    if (this.vis) this.vis.redraw();
  };

  Network.prototype.setSize = function (width, height) {
    if (this.vis) this.vis.setSize(width, height);
  };

  // Events go through the loader's event registry when the page has one, so
  // google.visualization.events.addListener(network, ...) receives them.
  Network.prototype._trigger = function (name, args) {
    var g = global.google;
    if (g && g.visualization && g.visualization.events && g.visualization.events.trigger) {
      g.visualization.events.trigger(this, name, args);
      return;
    }
    (this._ownListeners[name] || []).slice().forEach(function (fn) { fn(args); });
  };

  // For pages without the loader.
  Network.prototype.addListener = function (name, fn) {
    (this._ownListeners[name] = this._ownListeners[name] || []).push(fn);
  };

  var links = global.links = global.links || {};
  links.Network = Network;
})(typeof window !== 'undefined' ? window : this);
