// The download-centre page of the web client. It talks to the client through the native
// object "nativeBridge" published on the page's web channel; see README.md for the protocol.
(function () {
  'use strict';

  var FILES_URL = '/client/api/files';
  var POLL_INTERVAL_MS = 1000;
  var STATUS_IN_PROGRESS = 0;
  var STATUS_FAILED = 2;
  var STATUS_FINISHED = 3;
  // Status requests still waiting for their answer; more than this and the client is not
  // answering, so older ones are forgotten.
  var MAX_OUTSTANDING = 100;

  var bridge = null;            // the native object, once the channel is up
  var expectBridge = false;     // the page runs inside the client
  var waitingRequests = [];     // requests made before the channel was up
  var lastRequestId = 0;
  var lastTaskNumber = 0;
  var loggedOut = false;

  var files = [];               // [{name, url, size}] as offered by the platform
  var selectedUrls = new Set();

  // taskId -> {taskId, fileName, url, status, progress, addedSeq, row}, in the order first seen.
  var jobs = new Map();
  // Jobs this page added are numbered; every status request remembers the newest number
  // it covers, so an answer to a request made before an add does not count that job missing.
  var addSeq = 0;
  var outstandingHorizons = [];
  var dropAbsentOnNextStatus = false;
  var pollTimer = null;
  var lastBadgeCount = null;

  var el = {};

  // ---- talking to the client -------------------------------------------------------------

  function send(method, params) {
    var text = JSON.stringify({method: method, id: ++lastRequestId, async: false, params: params || {}});
    if (bridge) {
      bridge.request(text);
    } else if (expectBridge) {
      waitingRequests.push(text);
    }
  }

  function connectNative() {
    if (typeof QWebChannel !== 'function' || typeof qt === 'undefined' || !qt || !qt.webChannelTransport) {
      showNotice('Downloads are only possible inside the client. This page shows the files on offer only.');
      return false;
    }
    expectBridge = true;
    new QWebChannel(qt.webChannelTransport, function (channel) {
      var native = channel.objects.nativeBridge;
      if (!native || typeof native.request !== 'function') {
        expectBridge = false;
        waitingRequests = [];
        showNotice('The client offers no download service to this page.');
        setControlsEnabled();
        return;
      }
      native.sgnResponse.connect(onNativeMessage);
      native.ready();
      bridge = native;
      waitingRequests.splice(0).forEach(function (text) { bridge.request(text); });
    });
    return true;
  }

  function onNativeMessage(text) {
    var message;
    try {
      message = JSON.parse(text);
    } catch (e) {
      return;
    }
    if (!message || typeof message !== 'object') {
      return;
    }
    var params = message.params && typeof message.params === 'object' ? message.params : {};
    if (message.method === 'responseDownloadTasksByPublicUrlStatus') {
      applyStatus(params.downloadTasksStatus);
    } else if (message.method === 'notifyWebRefreshDownloadFilePage') {
      refresh();
    }
  }

  function requestStatus() {
    if (!expectBridge || loggedOut) {
      return;
    }
    outstandingHorizons.push(addSeq);
    if (outstandingHorizons.length > MAX_OUTSTANDING) {
      outstandingHorizons.shift();
    }
    send('getDownloadTasksByPublicUrlStatus', {});
  }

  function updateBadge() {
    var count = 0;
    jobs.forEach(function (job) {
      if (job.status === STATUS_IN_PROGRESS) {
        count++;
      }
    });
    if (count !== lastBadgeCount && expectBridge && !loggedOut) {
      lastBadgeCount = count;
      send('notifyDownloadingFileNum', {downloadingFileNum: count});
    }
    return count;
  }

  function schedulePolling(inProgress) {
    if (inProgress > 0 && !pollTimer && !loggedOut) {
      pollTimer = setInterval(requestStatus, POLL_INTERVAL_MS);
    } else if ((inProgress === 0 || loggedOut) && pollTimer) {
      clearInterval(pollTimer);
      pollTimer = null;
    }
  }

  // ---- jobs -------------------------------------------------------------------------------

  function newTaskId() {
    var random = new Uint32Array(1);
    if (window.crypto && window.crypto.getRandomValues) {
      window.crypto.getRandomValues(random);
    } else {
      random[0] = Math.floor(Math.random() * 0xffffffff);
    }
    // Time first, so the client's list (kept in id order) keeps the order of the clicks,
    // also across reloads of this page.
    var id;
    do {
      id = 'dc-' + Date.now().toString(36) + '-' + (++lastTaskNumber).toString(36) + '-' + random[0].toString(16);
    } while (jobs.has(id));
    return id;
  }

  function download(list) {
    if (!expectBridge || loggedOut || list.length === 0) {
      return;
    }
    addSeq++;
    var tasks = list.map(function (file) {
      var job = {
        taskId: newTaskId(),
        fileName: file.name,
        url: file.url,
        status: STATUS_IN_PROGRESS,
        progress: 0,
        addedSeq: addSeq,
        row: null
      };
      jobs.set(job.taskId, job);
      return {taskId: job.taskId, url: job.url, fileName: job.fileName};
    });
    send('AddDownloadTasksByPublicUrl', {downloadTasks: tasks});
    announce(list.length === 1 ? 'Downloading ' + list[0].name : 'Downloading ' + list.length + ' files');
    jobsChanged();
  }

  function applyStatus(entries) {
    if (!Array.isArray(entries)) {
      return;
    }
    var horizon = outstandingHorizons.length > 0 ? outstandingHorizons.shift() : addSeq;
    var seen = new Set();
    entries.forEach(function (entry) {
      if (!entry || typeof entry !== 'object' || typeof entry.taskId !== 'string' || entry.taskId === '') {
        return;
      }
      seen.add(entry.taskId);
      var status = typeof entry.status === 'number' ? entry.status : STATUS_IN_PROGRESS;
      var job = jobs.get(entry.taskId);
      if (!job) {
        // Known to the client already (an earlier visit, or added by the client itself): shown
        // as it is, without announcing old news.
        job = {taskId: entry.taskId, fileName: '', url: '', status: status, progress: 0, addedSeq: 0, row: null};
        jobs.set(job.taskId, job);
      }
      if (typeof entry.fileName === 'string' && entry.fileName !== '') {
        job.fileName = entry.fileName;
      }
      if (typeof entry.url === 'string' && entry.url !== '') {
        job.url = entry.url;
      }
      var progress = typeof entry.downloadProgress === 'number' && isFinite(entry.downloadProgress) ? entry.downloadProgress : 0;
      job.progress = Math.min(1, Math.max(0, progress));
      setStatus(job, status);
    });
    // What the client does not know (any more) and was asked about.
    var dropAbsent = dropAbsentOnNextStatus;
    dropAbsentOnNextStatus = false;
    jobs.forEach(function (job, taskId) {
      if (seen.has(taskId) || job.addedSeq > horizon) {
        return;
      }
      if (dropAbsent) {
        if (job.row) {
          job.row.remove();
        }
        jobs.delete(taskId);
      } else if (job.status === STATUS_IN_PROGRESS) {
        setStatus(job, STATUS_FAILED);
      }
    });
    jobsChanged();
  }

  function setStatus(job, status) {
    if (job.status === status) {
      return;
    }
    job.status = status;
    if (status === STATUS_FINISHED) {
      announce(job.fileName + ' finished');
    } else if (status === STATUS_FAILED) {
      announce(job.fileName + ' failed');
    }
  }

  function jobsChanged() {
    renderJobs();
    var inProgress = updateBadge();
    schedulePolling(inProgress);
  }

  function refresh() {
    if (loggedOut) {
      return;
    }
    loadFiles();
    dropAbsentOnNextStatus = true;
    requestStatus();
  }

  // ---- files ------------------------------------------------------------------------------

  function loadFiles() {
    if (typeof fetch !== 'function') {
      showFilesMessage('This browser cannot load the list of files.');
      return;
    }
    fetch(FILES_URL, {cache: 'no-store'})
      .then(function (reply) {
        if (!reply.ok) {
          throw new Error('HTTP ' + reply.status);
        }
        return reply.json();
      })
      .then(function (list) {
        files = validFiles(list);
        renderFiles();
      })
      .catch(function () {
        files = [];
        renderFiles();
        showFilesMessage('The list of files could not be loaded.');
      });
  }

  function validFiles(list) {
    if (!Array.isArray(list)) {
      return [];
    }
    var urls = new Set();
    return list.filter(function (file) {
      if (!file || typeof file.name !== 'string' || file.name === '' || typeof file.url !== 'string' ||
          file.url === '' || urls.has(file.url)) {
        return false;
      }
      urls.add(file.url);
      return true;
    }).map(function (file) {
      return {name: file.name, url: file.url, size: typeof file.size === 'number' && isFinite(file.size) ? file.size : -1};
    });
  }

  // The client's size text: B, KB and MB with one decimal, GB with three.
  function sizeText(size) {
    if (size < 0) {
      return '';
    }
    if (size < 1024) {
      return size + 'B';
    }
    if (size < 1048576) {
      return (size / 1024).toFixed(1) + 'KB';
    }
    if (size < 1073741824) {
      return (size / 1048576).toFixed(1) + 'MB';
    }
    return (size / 1073741824).toFixed(3) + 'GB';
  }

  // ---- rendering --------------------------------------------------------------------------

  function make(tag, attributes, text) {
    var node = document.createElement(tag);
    Object.keys(attributes || {}).forEach(function (key) {
      node.setAttribute(key, attributes[key]);
    });
    if (text !== undefined) {
      node.textContent = text;
    }
    return node;
  }

  function renderFiles() {
    var body = el.files.tBodies[0];
    // Rows are rebuilt; the keyboard focus comes back to the same control of the same file.
    var focused = document.activeElement;
    var focusRow = focused && body.contains(focused) ? focused.closest('tr') : null;
    var focusUrl = focusRow ? focusRow.dataset.url : null;
    var focusClass = focusRow ? focused.classList[0] : null;

    var offered = new Set(files.map(function (file) { return file.url; }));
    selectedUrls.forEach(function (url) {
      if (!offered.has(url)) {
        selectedUrls.delete(url);
      }
    });

    body.textContent = '';
    files.forEach(function (file) {
      var row = make('tr', {'data-url': file.url});
      var check = make('input', {type: 'checkbox', class: 'select', 'aria-label': 'Select ' + file.name});
      check.checked = selectedUrls.has(file.url);
      check.addEventListener('change', function () {
        if (check.checked) {
          selectedUrls.add(file.url);
        } else {
          selectedUrls.delete(file.url);
        }
        setControlsEnabled();
      });
      var cellCheck = make('td');
      cellCheck.appendChild(check);
      var button = make('button', {type: 'button', class: 'download secondary', 'aria-label': 'Download ' + file.name}, 'Download');
      button.addEventListener('click', function () { download([file]); });
      var cellAction = make('td');
      cellAction.appendChild(button);
      row.appendChild(cellCheck);
      row.appendChild(make('td', {class: 'name'}, file.name));
      row.appendChild(make('td', {class: 'size'}, sizeText(file.size)));
      row.appendChild(cellAction);
      body.appendChild(row);
    });

    if (focusUrl !== null && focusClass) {
      var again = Array.prototype.find.call(body.rows, function (row) { return row.dataset.url === focusUrl; });
      var control = again ? again.querySelector('.' + focusClass) : null;
      if (control) {
        control.focus();
      }
    }
    showFilesMessage(files.length === 0 ? 'No files on offer.' : '');
    setControlsEnabled();
  }

  function showFilesMessage(text) {
    el.filesEmpty.textContent = text;
    el.filesEmpty.hidden = text === '';
    el.files.hidden = files.length === 0;
  }

  function statusText(status) {
    switch (status) {
      case STATUS_IN_PROGRESS: return 'In progress';
      case STATUS_FAILED: return 'Failed';
      case STATUS_FINISHED: return 'Finished';
      default: return 'Unknown';
    }
  }

  function jobRow(job) {
    var row = make('tr', {'data-task-id': job.taskId});
    var name = make('td', {class: 'name'});
    var progress = make('td', {class: 'progress'});
    var track = make('div', {class: 'bar-track', role: 'progressbar', 'aria-valuemin': '0', 'aria-valuemax': '100', 'aria-valuenow': '0'});
    track.appendChild(make('div', {class: 'bar-fill'}));
    var percent = make('span', {class: 'percent'});
    progress.appendChild(track);
    progress.appendChild(percent);
    var status = make('td', {class: 'status'});
    var actions = make('td', {class: 'actions'});
    var openFile = make('button', {type: 'button', class: 'open-file secondary'}, 'Open file');
    openFile.addEventListener('click', function () {
      send('openDownloadFiledir', {taskId: job.taskId, fileName: job.fileName});
    });
    var openFolder = make('button', {type: 'button', class: 'open-folder secondary'}, 'Open folder');
    openFolder.addEventListener('click', function () { send('openDownloadFiledir', {}); });
    actions.appendChild(openFile);
    actions.appendChild(openFolder);
    row.appendChild(name);
    row.appendChild(progress);
    row.appendChild(status);
    row.appendChild(actions);
    return row;
  }

  function setText(node, text) {
    if (node.textContent !== text) {
      node.textContent = text;
    }
  }

  function setAttribute(node, name, value) {
    if (node.getAttribute(name) !== value) {
      node.setAttribute(name, value);
    }
  }

  // Rows are updated in place, so a focused button keeps its focus while progress moves.
  function renderJobs() {
    var body = el.jobs.tBodies[0];
    jobs.forEach(function (job) {
      if (!job.row) {
        job.row = jobRow(job);
        body.appendChild(job.row);
      }
      var row = job.row;
      var percent = job.status === STATUS_FINISHED ? 100 : Math.floor(job.progress * 100);
      var name = job.fileName || job.taskId;
      setText(row.querySelector('.name'), name);
      var bar = row.querySelector('[role=progressbar]');
      setAttribute(bar, 'aria-valuenow', String(percent));
      setAttribute(bar, 'aria-label', 'Progress of ' + name);
      bar.firstChild.style.width = percent + '%';
      setText(row.querySelector('.percent'), percent + '%');
      setText(row.querySelector('.status'), statusText(job.status));
      row.classList.toggle('failed', job.status === STATUS_FAILED);
      row.classList.toggle('finished', job.status === STATUS_FINISHED);
      var openFile = row.querySelector('.open-file');
      setAttribute(openFile, 'aria-label', 'Open file ' + name);
      openFile.disabled = job.status !== STATUS_FINISHED || !expectBridge || loggedOut;
      var openFolder = row.querySelector('.open-folder');
      setAttribute(openFolder, 'aria-label', 'Open the folder of ' + name);
      openFolder.disabled = !expectBridge || loggedOut;
    });
    el.jobsEmpty.hidden = jobs.size > 0;
    el.jobs.hidden = jobs.size === 0;
  }

  function setControlsEnabled() {
    var usable = expectBridge && !loggedOut;
    Array.prototype.forEach.call(el.files.querySelectorAll('button.download'), function (button) {
      button.disabled = !usable;
    });
    el.downloadSelected.disabled = !usable || selectedUrls.size === 0;
    el.openFolder.disabled = !usable;
    el.logout.disabled = !usable;
    el.selectAll.checked = files.length > 0 && selectedUrls.size === files.length;
    el.selectAll.indeterminate = selectedUrls.size > 0 && selectedUrls.size < files.length;
    el.selectAll.disabled = files.length === 0;
  }

  function showNotice(text) {
    el.notice.textContent = text;
    el.notice.hidden = text === '';
  }

  function announce(text) {
    // A fresh node, so that the same words twice are read twice.
    el.announcer.textContent = '';
    el.announcer.appendChild(document.createTextNode(text));
  }

  // ---- start ------------------------------------------------------------------------------

  function start() {
    el.files = document.getElementById('files');
    el.filesEmpty = document.getElementById('files-empty');
    el.jobs = document.getElementById('jobs');
    el.jobsEmpty = document.getElementById('jobs-empty');
    el.selectAll = document.getElementById('select-all');
    el.downloadSelected = document.getElementById('download-selected');
    el.openFolder = document.getElementById('open-folder');
    el.logout = document.getElementById('logout');
    el.notice = document.getElementById('notice');
    el.announcer = document.getElementById('announcer');

    el.selectAll.addEventListener('change', function () {
      selectedUrls.clear();
      if (el.selectAll.checked) {
        files.forEach(function (file) { selectedUrls.add(file.url); });
      }
      renderFiles();
    });
    el.downloadSelected.addEventListener('click', function () {
      var chosen = files.filter(function (file) { return selectedUrls.has(file.url); });
      selectedUrls.clear();
      renderFiles();
      // The button is disabled now; the next selection starts here.
      el.selectAll.focus();
      download(chosen);
    });
    el.openFolder.addEventListener('click', function () { send('openDownloadFiledir', {}); });
    el.logout.addEventListener('click', function () {
      send('NotifyLoginOut', {});
      loggedOut = true;
      schedulePolling(0);
      showNotice('Signed out.');
      setControlsEnabled();
      renderJobs();
    });

    connectNative();
    setControlsEnabled();
    renderJobs();
    loadFiles();
    requestStatus();
  }

  if (document.readyState === 'loading') {
    document.addEventListener('DOMContentLoaded', start);
  } else {
    start();
  }
})();
