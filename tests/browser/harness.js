// Loaded by every case document. It keeps a transcript of what the
// document's scripts do and, once the document has loaded, hands it to
// the page that holds the frames (frames.js collects it).
'use strict';
(function () {
  let transcript = '';
  let report = () => transcript;
  const name = decodeURIComponent(location.pathname.replace(/^.*\//, '').replace(/\.html$/, ''));

  window.kiv = {
    // Appends `text` to the transcript as it is.
    note(text) { transcript += text; },
    // Replaces document.write by a recorder: each call appends
    // `separator` and then the string it was given. Uncaught script
    // errors are recorded as well, so that they show in the transcript.
    recordWrites(separator) {
      document.write = function (text) { transcript += separator + text; };
      window.addEventListener('error', (event) => {
        transcript += '\n@@ script error: ' + event.message + ' @@\n';
      });
    },
    // Reports the document as HTML instead of a transcript, with the text
    // of the first script element of the body left out: that one is the
    // fragment's own, and the page it is compared with holds an empty one.
    reportDom() {
      report = () => {
        const copy = document.documentElement.cloneNode(true);
        const own = copy.querySelector('body > script');
        if (own) own.textContent = '';
        return copy.outerHTML;
      };
    },
  };

  window.addEventListener('load', () => parent.kivReport(name, report()));
})();
