// Small builders for the tools' elements. Text from the page only ever goes
// in as a property (textContent, title) or an attribute value, never as markup.

const SVG = 'http://www.w3.org/2000/svg';

function withAttributes(el, attributes) {
  for (const [k, v] of Object.entries(attributes)) el.setAttribute(k, String(v));
  return el;
}

// An HTML element with the given properties (className, id, textContent, ...)
// and attributes (role, aria-*).
export function element(tag, properties = {}, attributes = {}) {
  return withAttributes(Object.assign(document.createElement(tag), properties), attributes);
}

export function svg(name, attributes) {
  return withAttributes(document.createElementNS(SVG, name), attributes);
}

export function button(text, className) {
  return element('button', { type: 'button', className, textContent: text });
}

// Puts a style sheet in the document once (by its element id).
export function addStyle(id, css) {
  if (document.getElementById(id)) return;
  const style = document.createElement('style');
  style.id = id;
  style.textContent = css;
  (document.head || document.documentElement).appendChild(style);
}
