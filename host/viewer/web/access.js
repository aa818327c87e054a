// The viewer's token, when it asks for one (when it serves beyond loopback):
// taken from the page's address once, kept for this tab in sessionStorage
// (one per origin, so two viewers on two ports keep their own) and sent in a
// header with every request the page makes. Never a cookie: the browser
// sends a cookie to every port of the host, another service's included.
// Pictures are fetched with it too and shown from blob: URLs.
'use strict';

const viewerAccess = (() => {
  const key = 'quorix-token';
  const address = new URL(location.href);
  if (address.searchParams.has('token')) {
    sessionStorage.setItem(key, address.searchParams.get('token'));
    // Out of the address bar, the history and anything copied from them.
    address.searchParams.delete('token');
    history.replaceState(null, '', address.pathname + address.search + address.hash);
  }
  const token = sessionStorage.getItem(key);

  // fetch() with the token.
  function ask(url, options = {}) {
    const headers = new Headers(options.headers || {});
    if (token) headers.set('X-Quorix-Token', token);
    return fetch(url, Object.assign({}, options, { headers }));
  }

  // The last picture fetched, kept while it is shown: the screen is drawn
  // again after every command, and the photo on it seldom changes.
  let kept = null; // { url, picture: a promise of a blob: URL }

  // Shows the picture at `url` in `image`; an image that cannot have it
  // fires 'error' as one with a bad src would.
  function showImage(image, url) {
    if (!kept || kept.url !== url) {
      const previous = kept;
      kept = {
        url,
        picture: ask(url).then(response => {
          if (!response.ok) throw new Error(url + ': ' + response.status);
          return response.blob();
        }).then(blob => URL.createObjectURL(blob)),
      };
      if (previous) previous.picture.then(URL.revokeObjectURL, () => {});
      kept.picture.catch(() => { kept = null; });
    }
    kept.picture.then(src => { image.src = src; }, () => image.dispatchEvent(new Event('error')));
  }

  // Shows the picture at `url` in `image` once, keeping nothing: for the many
  // small pictures of a screen (the Places map's thumbnails).
  function loadImage(image, url) {
    ask(url).then(response => {
      if (!response.ok) throw new Error(url + ': ' + response.status);
      return response.blob();
    }).then(blob => {
      const src = URL.createObjectURL(blob);
      image.addEventListener('load', () => URL.revokeObjectURL(src), { once: true });
      image.src = src;
    }, () => image.dispatchEvent(new Event('error')));
  }

  return { ask, showImage, loadImage };
})();
