<?php
// Stores a checked work under testedwork/ with the name the workstation formed for it.
// Only a stored-name form is accepted, nothing above 50 MiB, and an existing file is never
// replaced: the answer 409 tells the workstation to take the next name.
require __DIR__ . '/lib/common.php';

require_post();
$name = $_POST['newNameFile'] ?? '';
if (!is_stored_name($name)) fail(400, 'bad file name');
$file = $_FILES['attach'] ?? null;
if (!$file) fail(400, 'no file');
if ($file['error'] === UPLOAD_ERR_INI_SIZE || $file['error'] === UPLOAD_ERR_FORM_SIZE
    || $file['size'] > MAX_UPLOAD_BYTES) fail(413, 'file too large');
if ($file['error'] !== UPLOAD_ERR_OK || !is_uploaded_file($file['tmp_name'])) fail(400, 'upload failed');
$dir = storage_dir();
$target = "$dir/$name";
// The tests' switches to servers that lie: one answers 200 and keeps nothing, another sends the
// post on elsewhere with a redirect, storing nothing either.
if (is_file(__DIR__ . '/lib/lie')) {
    echo "OK\n";
    exit;
}
if (is_file(__DIR__ . '/lib/redirect')) {
    header('Location: /help5v3/index.htm', true, 302);
    exit;
}
// The tests' switch to a less careful server, as a centre's may be: an existing name is
// overwritten without a word and the answer is 200.
if (is_file(__DIR__ . '/lib/overwrite')) {
    if (!move_uploaded_file($file['tmp_name'], $target)) fail(500, 'cannot store the file');
    echo "OK\n";
    exit;
}
if (file_exists($target)) fail(409, 'file exists');
// Written beside the target under a private name, then linked to it: link() refuses an existing
// name, so two uploads racing for one name cannot overwrite each other.
$temp = tempnam($dir, '.upload-');
if ($temp === false || !move_uploaded_file($file['tmp_name'], $temp)) fail(500, 'cannot store the file');
chmod($temp, 0644);
$linked = @link($temp, $target);
unlink($temp);
if (!$linked) {
    if (file_exists($target)) fail(409, 'file exists');
    fail(500, 'cannot store the file');
}
echo "OK\n";
