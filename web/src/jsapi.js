/*
 * Stand-in for the script loader at /jsapi, for intranets without internet
 * access and for tests. It provides what Plotweave pages call:
 *
 *   google.load(name, version[, settings])   records the request; nothing
 *                                            needs fetching
 *   google.setOnLoadCallback(fn)             runs fn once the document is
 *                                            parsed
 *   google.visualization.DataTable           addColumn, addRow, addRows,
 *                                            getValue, setValue, getNumberOfRows,
 *                                            getNumberOfColumns,
 *                                            getColumnLabel, getColumnId,
 *                                            getColumnType
 *   google.visualization.events              addListener, removeListener,
 *                                            trigger
 *
 * Errors are not caught: a page whose script fails shows the failure in the
 * browser's console as it would with the real loader.
 */
(function (global) {
  'use strict';

  var google = global.google = global.google || {};
  var requested = google.loadedModules = google.loadedModules || {};

  function whenParsed(fn) {
    var doc = global.document;
    if (doc && doc.readyState === 'loading') {
      doc.addEventListener('DOMContentLoaded', function () { fn(); }, { once: true });
    } else {
      setTimeout(function () { fn(); }, 0);
    }
  }

  google.load = function (name, version, settings) {
    requested[name] = version === undefined ? '' : String(version);
    if (settings && typeof settings.callback === 'function') whenParsed(settings.callback);
  };

  google.setOnLoadCallback = function (fn) {
    if (typeof fn !== 'function') throw new TypeError('google.setOnLoadCallback: a function is required');
    whenParsed(fn);
  };

  var visualization = google.visualization = google.visualization || {};

  var TYPES = {
    string: 'string', number: 'number', boolean: 'boolean',
    date: 'object', datetime: 'object', timeofday: 'object'
  };

  function DataTable() {
    this.columns = [];
    this.rows = [];
  }

  DataTable.prototype.addColumn = function (type, label, id) {
    var column = type !== null && typeof type === 'object' ? type : { type: type, label: label, id: id };
    if (!Object.prototype.hasOwnProperty.call(TYPES, column.type)) {
      throw new Error('Invalid type: ' + column.type + '.');
    }
    this.columns.push({ type: column.type, label: column.label || '', id: column.id || '' });
    for (var r = 0; r < this.rows.length; r++) this.rows[r].push(null);
    return this.columns.length - 1;
  };

  DataTable.prototype._checkCell = function (value, col) {
    if (value !== null && typeof value === 'object' && !(value instanceof Date) && 'v' in value) {
      value = value.v;
    }
    if (value === null || value === undefined) return null;
    var type = this.columns[col].type;
    if (typeof value !== TYPES[type]) {
      throw new Error('Type mismatch. Value ' + value + ' does not match type ' + type +
        ' in column index ' + col);
    }
    return value;
  };

  DataTable.prototype.addRow = function (cells) {
    cells = cells || [];
    if (!Array.isArray(cells)) throw new Error('Every row given must be either null or an array.');
    if (cells.length > this.columns.length) {
      throw new Error('Row given with size different than ' + this.columns.length +
        ' (the number of columns in the table).');
    }
    var row = [];
    for (var c = 0; c < this.columns.length; c++) {
      row.push(c < cells.length ? this._checkCell(cells[c], c) : null);
    }
    this.rows.push(row);
    return this.rows.length - 1;
  };

  DataTable.prototype.addRows = function (rows) {
    var last = this.rows.length - 1;
    if (typeof rows === 'number') {
      for (var i = 0; i < rows; i++) last = this.addRow([]);
    } else {
      (rows || []).forEach(function (cells) { last = this.addRow(cells); }, this);
    }
    return last;
  };

  DataTable.prototype._checkRow = function (row) {
    if (typeof row !== 'number' || Math.floor(row) !== row || row < 0 || row >= this.rows.length) {
      throw new Error('Invalid row index ' + row + '. Should be in the range [0-' +
        (this.rows.length - 1) + '].');
    }
  };

  DataTable.prototype._checkColumn = function (col) {
    if (typeof col !== 'number' || Math.floor(col) !== col || col < 0 || col >= this.columns.length) {
      throw new Error('Invalid column index ' + col + '. Should be an integer in the range [0-' +
        (this.columns.length - 1) + '].');
    }
  };

  DataTable.prototype.getValue = function (row, col) {
    this._checkRow(row);
    this._checkColumn(col);
    return this.rows[row][col];
  };

  DataTable.prototype.setValue = function (row, col, value) {
    this._checkRow(row);
    this._checkColumn(col);
    this.rows[row][col] = this._checkCell(value, col);
  };

  DataTable.prototype.getNumberOfRows = function () { return this.rows.length; };
  DataTable.prototype.getNumberOfColumns = function () { return this.columns.length; };

  DataTable.prototype.getColumnLabel = function (col) {
    this._checkColumn(col);
    return this.columns[col].label;
  };

  DataTable.prototype.getColumnId = function (col) {
    this._checkColumn(col);
    return this.columns[col].id;
  };

  DataTable.prototype.getColumnType = function (col) {
    this._checkColumn(col);
    return this.columns[col].type;
  };

  visualization.DataTable = DataTable;

  // Listeners are kept per source object, off the object itself.
  var registry = typeof WeakMap === 'function' ? new WeakMap() : null;
  var fallback = [];

  function listenersOf(source, create) {
    if (registry) {
      var found = registry.get(source);
      if (!found && create) { found = {}; registry.set(source, found); }
      return found;
    }
    for (var i = 0; i < fallback.length; i++) {
      if (fallback[i].source === source) return fallback[i].listeners;
    }
    if (!create) return undefined;
    var entry = { source: source, listeners: {} };
    fallback.push(entry);
    return entry.listeners;
  }

  visualization.events = {
    addListener: function (source, name, handler) {
      if (!source || typeof handler !== 'function') {
        throw new Error('google.visualization.events.addListener: a source and a function are required');
      }
      var byName = listenersOf(source, true);
      (byName[name] = byName[name] || []).push(handler);
      return { source: source, name: name, handler: handler };
    },
    removeListener: function (handle) {
      var byName = handle && listenersOf(handle.source, false);
      var list = byName && byName[handle.name];
      if (!list) return;
      var at = list.indexOf(handle.handler);
      if (at >= 0) list.splice(at, 1);
    },
    trigger: function (source, name, args) {
      var byName = listenersOf(source, false);
      var list = byName && byName[name];
      if (!list) return;
      list.slice().forEach(function (handler) { handler(args); });
    }
  };
})(typeof window !== 'undefined' ? window : this);
